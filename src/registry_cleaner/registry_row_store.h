// The rows of the registry page's result list, kept the way a list of
// 100,000 findings stays small: the texts of every row in one growing
// character buffer and each row as a few offsets with its category, tick and
// hive. A description is held as which of the scan's texts it is plus its
// variable tail, and a row whose key is the previous row's shares its text.
// Rows go in large blocks, not one heap block per text, so that nothing of
// theirs is left scattered between the blocks of other work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "registry_cleaner/registry_finding.h"
#include "registry_cleaner/registry_row.h"

namespace tw {

class CRegistryRowStore {
 public:
  // `texts` are the descriptions the scan writes; any other text is kept
  // whole.
  explicit CRegistryRowStore(ScanTexts texts = {});

  std::size_t Size() const { return m_rows.size(); }
  bool Empty() const { return m_rows.empty(); }

  void Append(std::string_view location, std::string_view description, std::string_view valueName,
              int category, bool checked, RegKey classesHive);
  void Append(const RegistryRow& row);
  // Moves every row of `block` behind these, in order, and leaves it empty.
  void Take(CRegistryRowStore* block);

  // The row as the engines take it. Into `out`, which keeps its room.
  void Read(std::size_t row, RegistryRow* out) const;
  RegistryRow Row(std::size_t row) const;
  // Column 0 the key, 1 the description, 2 the value name.
  void Text(std::size_t row, int column, std::string* out) const;
  std::string_view Location(std::size_t row) const;
  std::string_view ValueName(std::size_t row) const;
  int Category(std::size_t row) const { return m_rows[row].category; }
  RegKey ClassesHive(std::size_t row) const { return m_hives[m_rows[row].hive]; }

  bool Checked(std::size_t row) const { return m_rows[row].checked != 0; }
  void SetChecked(std::size_t row, bool on) { m_rows[row].checked = on ? 1 : 0; }
  bool AnyChecked() const;

  // Takes out the rows at `rows` (ascending positions), texts included, in
  // one pass; the rest keep their order and ticks.
  void Erase(const std::vector<std::size_t>& rows);
  // The same for the rows whose flag is set (one flag a row).
  void Erase(const std::vector<bool>& gone);
  // Every row and its room.
  void Clear();

 private:
  enum Description : std::uint8_t { kPathPrefix, kUninstall, kAssociation, kWhole };
  struct Record {
    std::uint32_t location;  // offset of the key's text
    std::uint32_t locationSize;
    std::uint32_t tail;  // offset of the description's tail; the value name follows it
    std::uint32_t tailSize;
    std::uint32_t nameSize;
    std::int32_t category;
    std::uint8_t description;  // Description
    std::uint8_t checked;
    std::uint8_t hive;  // index into m_hives
  };

  std::uint8_t HiveIndex(RegKey hive);
  std::string_view View(std::uint32_t offset, std::uint32_t size) const {
    return std::string_view(m_text.data() + offset, size);
  }
  void Describe(const Record& r, std::string* out) const;

  ScanTexts m_texts;
  std::string m_text;
  std::vector<Record> m_rows;
  std::vector<RegKey> m_hives;  // the classes hives met, in order
};

}  // namespace tw
