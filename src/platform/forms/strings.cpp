// Strings counted in UTF-16 code units, as the platform's strings count them.
#include "platform/forms/qt_support.h"

namespace forms {

int Len(const std::string& utf8) {
  return static_cast<int>(detail::ToQString(utf8).size());
}

std::string LeftChars(const std::string& utf8, int count) {
  if (count <= 0) return {};
  return detail::FromQString(detail::ToQString(utf8).left(count));
}

std::string RightChars(const std::string& utf8, int count) {
  if (count <= 0) return {};
  return detail::FromQString(detail::ToQString(utf8).right(count));
}

}  // namespace forms
