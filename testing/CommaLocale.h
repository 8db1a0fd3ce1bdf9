// A process locale with a decimal comma, for tests of texts that must not follow it.
#pragma once

#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <stdexcept>
#include <string>
#include <system_error>

#include <unistd.h>

namespace va5::test {

// Switches the C and C++ locales to one with a decimal comma for the life of the object: an
// installed one if there is one, else one built into a temporary folder.
class CommaLocale {
 public:
  CommaLocale() {
#ifdef _WIN32
    // The C runtime of Windows knows these without any set-up.
    for (const char* name : {"German_Germany.1252", "de-DE", "French_France.1252"}) {
      if (Use(name)) return;
    }
#else
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
      if (Use(name)) return;
    }
    folder_ =
        std::filesystem::temp_directory_path() / ("va5vivi-locale-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    const std::string build =
        "localedef -i de_DE -f UTF-8 '" + (folder_ / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(build.c_str()) == 0) {
      ::setenv("LOCPATH", folder_.c_str(), 1);
      if (Use("de_DE.UTF-8")) return;
    }
#endif
    // No C locale with a comma: the C++ one still gets it, so streams at least are tested.
    UseCommaFacet();
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
    if (!folder_.empty()) {
#ifndef _WIN32
      ::unsetenv("LOCPATH");
#endif
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
  }
  // True when printf and strtod of this process now use a decimal comma.
  bool CLocaleHasComma() const { return cComma_; }

 private:
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  static void UseCommaFacet() { std::locale::global(std::locale(std::locale::classic(), new Comma)); }
  bool Use(const char* name) {
    if (std::setlocale(LC_ALL, name) == nullptr) return false;
    cComma_ = std::string(std::localeconv()->decimal_point) == ",";
    if (!cComma_) return false;
    try {
      std::locale::global(std::locale(name));
    } catch (const std::runtime_error&) {
      // The C++ library knows no named locales (MinGW's): its streams get the comma alone.
      UseCommaFacet();
    }
    return true;
  }
  std::filesystem::path folder_;
  bool cComma_ = false;
};

}  // namespace va5::test
