#include "SystemErrorText.h"

#include <cctype>
#include <cstring>

std::string SystemErrorText(int errorNumber) {
  std::string text = std::strerror(errorNumber);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}
