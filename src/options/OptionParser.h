#ifndef SLICE2VOL_OPTIONS_OPTIONPARSER_H
#define SLICE2VOL_OPTIONS_OPTIONPARSER_H

#include <cstddef>

/// A small command-line parser for flags and value options. Every option has a long name
/// (written after "--") and may have a one-character name (written after "-"); both share one
/// value. Values are stored as copies, a flag as the text "true". Unknown options and stray
/// arguments are skipped silently: the caller sees only what was stored.
///
/// Long names and usage lines are borrowed, as is the argument vector: the caller keeps them
/// alive and unchanged while the parser is used. Every line end written flushes standard output.
///
/// Declarations must come before the first scan or lookup, which sizes the value table for
/// good; a declaration made later is ignored.
///
/// Running out of memory writes an "OPTIONS ERROR" block to standard output and ends the process
/// with status 1.
class OptionParser {
 public:
  OptionParser();
  ~OptionParser();
  OptionParser(const OptionParser&) = delete;
  OptionParser& operator=(const OptionParser&) = delete;

  void AddUsageLine(const char* text);
  void DeclareFlag(const char* longName, char character);
  void DeclareValueOption(const char* longName, char character);
  void DeclareValueOption(const char* longName);

  /// Records and scans the argument vector; element 0, the program name, is never scanned.
  /// Only the first call scans: a later call changes nothing, so the values found stay those
  /// of the first command line.
  void ScanArguments(int count, const char* const* vector);

  /// True when the scanned vector held anything after the program name.
  bool HasParsedOptions() const;
  /// True exactly when the option's stored value is the text "true".
  bool IsFlagSet(const char* longName);
  bool IsFlagSet(char character);
  /// The stored value, owned by the parser; null when the option was not given with a value.
  const char* FindValue(const char* longName);
  /// Writes the usage text framed by empty lines, the first time only.
  void WriteUsage();

 private:
  enum OptionKind { None, Value, Flag };

  OptionParser(int initialLongCapacity, int initialCharCapacity);

  void AllocateTables();
  void GrowLongNameTables(const char* longName);
  void GrowCharTables(char character);
  void GrowUsageLines(const char* text);
  void ReleaseTables();
  bool EnsureValueTable();

  void DeclareLongName(const char* longName, OptionKind kind);
  void DeclareOptionChar(char character, OptionKind kind);

  int FindLongEntry(const char* name, std::size_t length) const;
  int FindCharEntry(char character) const;
  void StoreInSlot(int slot, const char* text);
  void StoreValue(const char* longName, std::size_t length, const char* text);
  void StoreValue(char character, const char* text);
  void SetFlag(const char* longName, std::size_t length);
  void SetFlag(char character);
  bool SlotHoldsTrue(int entry, const int* slots);

  void ScanArgumentVector();
  int ScanLongOption(const char* text);
  int MatchLongName(const char* name, std::size_t length);
  char ScanCharGroup(const char* group);
  bool MatchOptionChar(char character);

  int argumentCount = 0;
  const char* const* arguments = nullptr;
  int longCapacity;
  const char** longNames = nullptr;
  int* longKinds = nullptr;
  int* longSlots = nullptr;
  int longCount = 0;
  int charCapacity;
  char* optionChars = nullptr;
  int* charKinds = nullptr;
  int* charSlots = nullptr;
  int charCount = 0;
  char** values = nullptr;
  int slotCount = 0;
  const char** usageLines = nullptr;
  int usageCapacity = 3;
  int usageCount = 0;
  bool commandLineGiven = false;
  bool tablesAllocated = false;
  char shortPrefix = '-';
  const char* longPrefix = "--";
  char equalsSign = '=';
  char blank = ' ';
  bool valuesAllocated = false;
  bool usagePending = true;
  bool hasOptions = false;
};

#endif
