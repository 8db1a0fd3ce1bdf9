// Arbitrary bytes as a table file of each kind, with the questions answered OK, Cancel or in
// turn (the first byte chooses). Whatever the content: a loaded table holds 2 to the kind's
// maximum points whose texts pass the number syntax (and so are each the whole number they
// read as), whose minimum and step are whole numbers, a curve as many Y values as X values, an
// abandoned read loads nothing, a message that ends a read is never a question; and a loaded
// table, written and read again with every question answered OK, loads as many points again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "base/NumberText.h"
#include "tables/FileOperations.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::vector<double> Values(const std::vector<std::string>& texts) {
  std::vector<double> values;
  for (const auto& t : texts) values.push_back(va5::ReadCDouble(t).value);
  return values;
}

va5::TableReadOutcome Read(va5::CFileOperations& f, va5::TableKind kind, const std::string& text,
                           const va5::TableQuestion& ask) {
  f.Prepare(kind);
  std::istringstream in(text);
  return kind == va5::TableKind::Curve ? f.ReadSpecialCurve(in, ask)
                                       : f.ReadCustomTable(in, kind, ask);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int policy = data[0] % 3;  // 0 OK, 1 Cancel, 2 in turn
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  for (va5::TableKind kind : {va5::TableKind::Rtd, va5::TableKind::Tc, va5::TableKind::Curve}) {
    int asked = 0;
    const va5::TableQuestion ask = [&](const va5::TableMessage& m) {
      Check(m.okCancel && !m.key.empty());
      return policy == 0 || (policy == 2 && ++asked % 2 == 0);
    };
    va5::CFileOperations f;
    const va5::TableReadOutcome r = Read(f, kind, text, ask);
    const int maximum = va5::LimitsOf(kind).maximumPoints;
    Check(!(r.abandoned && r.loaded));
    Check(!r.message || (!r.message->okCancel && !r.message->key.empty()));
    Check(r.loaded == f.Loaded());
    if (!r.loaded) continue;
    Check(f.PointCount() >= 2 && f.PointCount() <= maximum);
    for (const auto& x : f.XTexts()) Check(va5::CFileOperations::CheckNumberSyntax(x));
    for (const auto& y : f.YTexts()) Check(va5::CFileOperations::CheckNumberSyntax(y));
    for (const std::string* whole : {&f.MinimumText(), &f.StepText()}) {
      const auto v = va5::ParseDecimal(*whole);
      Check(v && *v == static_cast<double>(static_cast<long long>(*v)));
    }
    const std::vector<double> x = Values(f.XTexts());
    std::vector<std::string> lines;
    if (kind == va5::TableKind::Curve) {
      Check(f.YTexts().size() == f.XTexts().size());
      lines =
          va5::CFileOperations::SpecialCurveLines(va5::CommentHeader(kind), x, Values(f.YTexts()));
    } else {
      Check(f.StepSeen());
      lines = va5::CFileOperations::CustomTableLines(
          va5::CommentHeader(kind), va5::LimitsOf(kind).word,
          va5::ReadCDouble(f.MinimumText()).value, va5::ReadCDouble(f.StepText()).value, x);
    }
    std::string written;
    for (const auto& l : lines) written += l + "\r\n";
    va5::CFileOperations again;
    const va5::TableReadOutcome back =
        Read(again, kind, written, [](const va5::TableMessage&) { return true; });
    Check(back.loaded && again.PointCount() == f.PointCount());
  }
  return 0;
}
