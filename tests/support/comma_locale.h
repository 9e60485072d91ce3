// Runs a test under a user locale whose decimal separator is a comma, as a
// German or French desktop has it (QApplication makes the environment's
// locale current, so the editor meets such a locale in every number it
// converts).
#pragma once

#include <clocale>
#include <string>

namespace kv::testing {

class CommaLocale {
 public:
  CommaLocale() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
      if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point == std::string(",")) {
        active_ = true;
        return;
      }
    }
    std::setlocale(LC_ALL, previous_.c_str());
  }
  ~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // False when no comma-decimal locale is installed (Debian: locales-all).
  bool active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

}  // namespace kv::testing
