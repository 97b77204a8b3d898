#include "OptionParser.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

// Out of memory, the parser cannot go on and the caller has no way to recover; the process ends
// with status 1 so that a script does not mistake the stop for success.
[[noreturn]] void ExitOutOfMemory() {
  std::cout << std::endl;
  std::cout << "OPTIONS ERROR : Failed allocating memory" << std::endl;
  std::cout << "Exiting." << std::endl;
  std::exit(1);
}

[[noreturn]] void ExitGrowthFailure(const char* whileAdding, const char* subject,
                                    std::size_t length) {
  std::cout << std::endl;
  std::cout << "OPTIONS ERROR : Failed allocating extra memory " << std::endl;
  std::cout << whileAdding << '"';
  std::cout.write(subject, static_cast<std::streamsize>(length));
  std::cout << '"' << std::endl;
  std::cout << "Exiting." << std::endl;
  std::cout << std::endl;
  std::exit(1);
}

template <typename T>
T* AllocateFilled(int count, T fill) {
  auto* table = static_cast<T*>(std::malloc(sizeof(T) * static_cast<std::size_t>(count)));
  if (table != nullptr) {
    for (int i = 0; i < count; ++i) table[i] = fill;
  }
  return table;
}

// Doubles a table, filling the new half with the unused-entry value. On failure the table is
// left as it was and false is returned.
template <typename T>
bool Double(T*& table, int oldCapacity, T fill) {
  auto* grown =
      static_cast<T*>(std::realloc(table, sizeof(T) * 2 * static_cast<std::size_t>(oldCapacity)));
  if (grown == nullptr) return false;
  for (int i = oldCapacity; i < 2 * oldCapacity; ++i) grown[i] = fill;
  table = grown;
  return true;
}

char* CopyText(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(std::malloc(size));
  if (copy == nullptr) ExitOutOfMemory();
  std::memcpy(copy, text, size);
  return copy;
}

}  // namespace

OptionParser::OptionParser() : OptionParser(10, 10) {}

OptionParser::OptionParser(int initialLongCapacity, int initialCharCapacity)
    : longCapacity(initialLongCapacity), charCapacity(initialCharCapacity) {
  AllocateTables();
}

OptionParser::~OptionParser() {
  if (tablesAllocated) ReleaseTables();
}

void OptionParser::AllocateTables() {
  longNames = AllocateFilled<const char*>(longCapacity, nullptr);
  longKinds = AllocateFilled<int>(longCapacity, None);
  longSlots = AllocateFilled<int>(longCapacity, -1);
  optionChars = AllocateFilled<char>(charCapacity, '0');
  charKinds = AllocateFilled<int>(charCapacity, None);
  charSlots = AllocateFilled<int>(charCapacity, -1);
  usageLines = AllocateFilled<const char*>(usageCapacity, nullptr);
  if (!longNames || !longKinds || !longSlots || !optionChars || !charKinds || !charSlots ||
      !usageLines) {
    ExitOutOfMemory();
  }
  tablesAllocated = true;
}

void OptionParser::GrowLongNameTables(const char* longName) {
  if (!Double<const char*>(longNames, longCapacity, nullptr) ||
      !Double<int>(longKinds, longCapacity, None) || !Double<int>(longSlots, longCapacity, -1)) {
    ExitGrowthFailure("While adding the option : ", longName, std::strlen(longName));
  }
  longCapacity *= 2;
}

void OptionParser::GrowCharTables(char character) {
  if (!Double<char>(optionChars, charCapacity, '0') ||
      !Double<int>(charKinds, charCapacity, None) || !Double<int>(charSlots, charCapacity, -1)) {
    ExitGrowthFailure("While adding the option: ", &character, 1);
  }
  charCapacity *= 2;
}

void OptionParser::GrowUsageLines(const char* text) {
  if (!Double<const char*>(usageLines, usageCapacity, nullptr)) {
    ExitGrowthFailure("While adding the usage/help  : ", text, std::strlen(text));
  }
  usageCapacity *= 2;
}

void OptionParser::ReleaseTables() {
  std::free(longNames);
  std::free(longKinds);
  std::free(longSlots);
  std::free(optionChars);
  std::free(charKinds);
  std::free(charSlots);
  std::free(usageLines);
  if (valuesAllocated) {
    for (int slot = 0; slot < slotCount; ++slot) std::free(values[slot]);
    std::free(values);
  }
  tablesAllocated = false;
}

bool OptionParser::EnsureValueTable() {
  if (valuesAllocated) return true;
  if (slotCount == 0) return false;
  values = static_cast<char**>(std::calloc(static_cast<std::size_t>(slotCount), sizeof(char*)));
  if (values == nullptr) ExitOutOfMemory();
  valuesAllocated = true;
  return true;
}

void OptionParser::AddUsageLine(const char* text) {
  if (usageCount >= usageCapacity) GrowUsageLines(text);
  usageLines[usageCount++] = text;
}

void OptionParser::DeclareFlag(const char* longName, char character) {
  if (valuesAllocated) return;
  DeclareLongName(longName, Flag);
  DeclareOptionChar(character, Flag);
  ++slotCount;
}

void OptionParser::DeclareValueOption(const char* longName, char character) {
  if (valuesAllocated) return;
  DeclareLongName(longName, Value);
  DeclareOptionChar(character, Value);
  ++slotCount;
}

void OptionParser::DeclareValueOption(const char* longName) {
  if (valuesAllocated) return;
  DeclareLongName(longName, Value);
  ++slotCount;
}

void OptionParser::DeclareLongName(const char* longName, OptionKind kind) {
  if (longCount >= longCapacity) GrowLongNameTables(longName);
  longNames[longCount] = longName;
  longKinds[longCount] = kind;
  longSlots[longCount] = slotCount;
  ++longCount;
}

void OptionParser::DeclareOptionChar(char character, OptionKind kind) {
  if (charCount >= charCapacity) GrowCharTables(character);
  optionChars[charCount] = character;
  charKinds[charCount] = kind;
  charSlots[charCount] = slotCount;
  ++charCount;
}

int OptionParser::FindLongEntry(const char* name, std::size_t length) const {
  for (int entry = 0; entry < longCount; ++entry) {
    if (std::strlen(longNames[entry]) == length && std::memcmp(longNames[entry], name, length) == 0)
      return entry;
  }
  return -1;
}

int OptionParser::FindCharEntry(char character) const {
  for (int entry = 0; entry < charCount; ++entry) {
    if (optionChars[entry] == character) return entry;
  }
  return -1;
}

void OptionParser::StoreInSlot(int slot, const char* text) {
  char* copy = CopyText(text);
  std::free(values[slot]);
  values[slot] = copy;
}

void OptionParser::StoreValue(const char* longName, std::size_t length, const char* text) {
  if (!EnsureValueTable()) return;
  const int entry = FindLongEntry(longName, length);
  if (entry >= 0) StoreInSlot(longSlots[entry], text);
}

void OptionParser::StoreValue(char character, const char* text) {
  if (!EnsureValueTable()) return;
  const int entry = FindCharEntry(character);
  if (entry >= 0) StoreInSlot(charSlots[entry], text);
}

void OptionParser::SetFlag(const char* longName, std::size_t length) {
  StoreValue(longName, length, "true");
}

void OptionParser::SetFlag(char character) { StoreValue(character, "true"); }

void OptionParser::ScanArguments(int count, const char* const* vector) {
  if (commandLineGiven) return;
  argumentCount = count;
  arguments = vector;
  commandLineGiven = true;
  if (count > 1) hasOptions = true;
  ScanArgumentVector();
}

bool OptionParser::HasParsedOptions() const { return hasOptions; }

bool OptionParser::SlotHoldsTrue(int entry, const int* slots) {
  if (entry < 0) return false;
  const char* value = values[slots[entry]];
  return value != nullptr && std::strcmp(value, "true") == 0;
}

bool OptionParser::IsFlagSet(const char* longName) {
  if (!EnsureValueTable()) return false;
  return SlotHoldsTrue(FindLongEntry(longName, std::strlen(longName)), longSlots);
}

bool OptionParser::IsFlagSet(char character) {
  if (!EnsureValueTable()) return false;
  return SlotHoldsTrue(FindCharEntry(character), charSlots);
}

const char* OptionParser::FindValue(const char* longName) {
  if (!EnsureValueTable()) return nullptr;
  const int entry = FindLongEntry(longName, std::strlen(longName));
  return entry < 0 ? nullptr : values[longSlots[entry]];
}

void OptionParser::WriteUsage() {
  if (!usagePending) return;
  usagePending = false;
  std::cout << std::endl;
  for (int line = 0; line < usageCount; ++line) std::cout << usageLines[line] << std::endl;
  std::cout << std::endl;
}

void OptionParser::ScanArgumentVector() {
  if (!EnsureValueTable() || !commandLineGiven) return;
  // Anything that is not an option, the empty text included, is skipped.
  for (int i = 1; i < argumentCount; ++i) {
    const char* argument = arguments[i];
    if (std::strncmp(argument, longPrefix, 2) == 0) {
      const int entry = ScanLongOption(argument + 2);
      if (entry >= 0 && i < argumentCount - 1) {
        ++i;
        StoreInSlot(longSlots[entry], arguments[i]);
      }
    } else if (argument[0] == shortPrefix) {
      const char pending = ScanCharGroup(argument + 1);
      if (pending != '0' && i < argumentCount - 1) {
        ++i;
        StoreValue(pending, arguments[i]);
      }
    }
  }
}

int OptionParser::ScanLongOption(const char* text) {
  const char* equals = std::strchr(text, equalsSign);
  if (equals == nullptr || equals == text) return MatchLongName(text, std::strlen(text));
  // An attached value never lets the next argument be taken as well.
  const auto nameLength = static_cast<std::size_t>(equals - text);
  if (MatchLongName(text, nameLength) >= 0) StoreValue(text, nameLength, equals + 1);
  return -1;
}

int OptionParser::MatchLongName(const char* name, std::size_t length) {
  const int entry = FindLongEntry(name, length);
  if (entry < 0) return -1;
  if (longKinds[entry] == Flag) {
    SetFlag(name, length);
    return -1;
  }
  return entry;
}

char OptionParser::ScanCharGroup(const char* group) {
  for (const char* c = group; *c != '\0'; ++c) {
    if (!MatchOptionChar(*c)) continue;
    if (c[1] == '\0') return *c;
    // The rest of the group is the value; nothing after a value option is read as an option.
    const char* value = c + 1;
    while (*value == blank || *value == equalsSign) ++value;
    StoreValue(*c, value);
    return '0';
  }
  return '0';
}

bool OptionParser::MatchOptionChar(char character) {
  const int entry = FindCharEntry(character);
  if (entry < 0) return false;
  if (charKinds[entry] == Flag) {
    SetFlag(character);
    return false;
  }
  return true;
}
