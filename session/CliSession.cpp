#include "session/CliSession.h"

#include <cstdio>
#include <iostream>

#include "comm/PortSources.h"
#ifdef _WIN32
#include "comm/Win32SerialPort.h"
#else
#include "comm/PosixSerialPort.h"
#endif
#include "comm/RequestTypes.h"

namespace va5::cli {

namespace {

constexpr std::chrono::milliseconds Slice{100};
constexpr int SearchSteps = 15;

void TraceToStderr(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int ExitStatusOf(HartResult result) {
  switch (result) {
    case ResultOk:
      return ExitOk;
    case ResultReplyRejected:
      return ExitRefused;
    default:
      return ExitLinkFailed;
  }
}

std::string ResolvePort(const std::string& port) {
  if (port.find('/') != std::string::npos) return port;
  for (const PortRecord& record : MergePorts(PlatformPortSources())) {
    if (record.portName == port) return record.openName;
  }
  return port;
}

CliSession::CliSession(Options options, Timing timing)
    : options_(std::move(options)), timing_(timing) {
#ifdef _WIN32
  port_ = std::make_unique<Win32SerialPort>();
#else
  port_ = std::make_unique<PosixSerialPort>();
#endif
  link_ = std::make_unique<HartLink>(*port_, timing_,
                                     options_.trace ? TraceSink(TraceToStderr) : NullTraceSink());
  record_.SetStartValues();
  record_.pollingAddress = static_cast<std::int16_t>(options_.address);
  worker_ = std::make_unique<HartWorker>(*link_, record_, queue_, timing_);
}

CliSession::~CliSession() { worker_->StopWorker(); }

HartResult CliSession::Open(bool searchMode) {
  openName_ = ResolvePort(options_.port);
  const HartResult opened = link_->OpenPort(openName_ + ": baud=9600 parity=N data=8 stop=1");
  if (opened != ResultOk) return opened;
  worker_->SetSearchMode(searchMode);
  worker_->SetStepsDone(0);
  return worker_->StartWorker();
}

bool CliSession::AnswerFailure(int& retriesLeft) {
  bool retry = false;
  if (worker_->SilentRetry()) {
    worker_->ClearSilentRetry();
    retry = true;
  } else if (retriesLeft > 0) {
    --retriesLeft;
    retry = true;
  }
  if (retry) worker_->PurgePort();
  worker_->AnswerFailure(retry);
  return retry;
}

HartResult CliSession::Run(int type, bool monitoringAfter) {
  int retriesLeft = options_.retries;
  worker_->ClearSilentRetry();  // only this request's own mark counts
  if (worker_->SubmitRequest(type, monitoringAfter) != ResultOk) return ResultLinkFailed;
  for (;;) {
    auto message = queue_.Next(std::chrono::hours(1));
    if (!message) continue;
    if (message->first == MessageFailure) {
      AnswerFailure(retriesLeft);
    } else if (message->first == MessageWorkerEnded) {
      return ResultLinkFailed;
    } else if (message->first == type) {
      return message->second;
    }
    // Progress and poll results of an earlier monitoring are not this request's answer.
  }
}

bool CliSession::Search() {
  bool gaveUp = false;
  worker_->SubmitRequest(RequestIdentify, false);
  for (;;) {
    auto message = queue_.Next(std::chrono::hours(1));
    if (!message) continue;
    if (message->first == MessageFailure) {
      // Every address is tried once: after the 15th move the last address has failed too.
      const bool retry = worker_->StepsDone() < SearchSteps;
      if (retry) worker_->PurgePort();
      gaveUp = !retry;
      worker_->AnswerFailure(retry);
    } else if (message->first == MessageWorkerEnded) {
      return !gaveUp;
    }
  }
}

HartResult CliSession::Monitor(const std::function<bool(HartResult)>& onPoll,
                               const std::atomic<bool>& stop) {
  const HartResult on = Run(RequestMonitorOn, true);
  if (on != ResultOk) return on;
  int retriesLeft = options_.retries;
  while (!stop) {
    auto message = queue_.Next(Slice);
    if (!message) continue;
    if (message->first == MessageFailure) {
      AnswerFailure(retriesLeft);
    } else if (message->first == MessageWorkerEnded) {
      return ResultLinkFailed;
    } else if (message->first == RequestPoll) {
      if (message->second != ResultOk) return message->second;
      retriesLeft = options_.retries;
      if (!onPoll(message->second)) break;
    }
  }
  return ResultOk;
}

}  // namespace va5::cli
