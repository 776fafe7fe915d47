#include "registry_cleaner/registry_row_store.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace tw {

namespace {

bool SameTexts(const ScanTexts& a, const ScanTexts& b) {
  return a.invalidPath == b.invalidPath && a.invalidUninstall == b.invalidUninstall &&
         a.invalidAssociation == b.invalidAssociation;
}

// Room comes in blocks the system heap maps on their own (those of over a
// megabyte, in Wine and in Windows alike). A scan frees many small blocks of
// its caches when it ends, and the heap gives their memory back only up to
// the last block still in use: rows kept in small blocks among them would
// hold all of it in the working set.
constexpr std::size_t kLeastRoom = std::size_t(2) << 20;

template <class Buffer>
void MakeRoom(Buffer* buffer, std::size_t more) {
  const std::size_t need = buffer->size() + more;
  if (need <= buffer->capacity()) return;
  const std::size_t least = kLeastRoom / sizeof(typename Buffer::value_type);
  buffer->reserve(std::max({need, 2 * buffer->capacity(), least}));
}

std::uint32_t Size32(std::size_t n) {
  if (n > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("registry row text");
  return static_cast<std::uint32_t>(n);
}

}  // namespace

CRegistryRowStore::CRegistryRowStore(ScanTexts texts) : m_texts(std::move(texts)) {}

std::uint8_t CRegistryRowStore::HiveIndex(RegKey hive) {
  // A scan names at most the machine's and the user's classes hive.
  for (std::size_t i = 0; i < m_hives.size(); ++i) {
    if (m_hives[i] == hive) return static_cast<std::uint8_t>(i);
  }
  if (m_hives.size() > std::numeric_limits<std::uint8_t>::max()) {
    throw std::length_error("registry row hives");
  }
  m_hives.push_back(hive);
  return static_cast<std::uint8_t>(m_hives.size() - 1);
}

void CRegistryRowStore::Append(std::string_view location, std::string_view description,
                               std::string_view valueName, int category, bool checked,
                               RegKey classesHive) {
  Record r{};
  r.category = category;
  r.checked = checked ? 1 : 0;
  r.hive = HiveIndex(classesHive);
  const std::string_view path = m_texts.invalidPath;
  std::string_view tail = description;
  if (!path.empty() && description.substr(0, path.size()) == path) {
    r.description = kPathPrefix;
    tail.remove_prefix(path.size());
  } else if (description == m_texts.invalidUninstall) {
    r.description = kUninstall;
    tail = {};
  } else if (description == m_texts.invalidAssociation) {
    r.description = kAssociation;
    tail = {};
  } else {
    r.description = kWhole;
  }
  Size32(m_text.size() + location.size() + tail.size() + valueName.size());
  MakeRoom(&m_text, location.size() + tail.size() + valueName.size());
  MakeRoom(&m_rows, 1);
  r.locationSize = Size32(location.size());
  if (!m_rows.empty() && Location(m_rows.size() - 1) == location) {
    r.location = m_rows.back().location;
  } else {
    r.location = Size32(m_text.size());
    m_text.append(location);
  }
  r.tail = Size32(m_text.size());
  r.tailSize = Size32(tail.size());
  m_text.append(tail);
  r.nameSize = Size32(valueName.size());
  m_text.append(valueName);
  m_rows.push_back(r);
}

void CRegistryRowStore::Append(const RegistryRow& row) {
  Append(row.location, row.description, row.valueName, row.category, row.checked, row.classesHive);
}

void CRegistryRowStore::Take(CRegistryRowStore* block) {
  if (block == this || block->Empty()) return;
  if (!SameTexts(m_texts, block->m_texts)) {
    RegistryRow row;
    for (std::size_t i = 0; i < block->Size(); ++i) {
      block->Read(i, &row);
      Append(row);
    }
  } else if (Empty()) {
    m_text.swap(block->m_text);
    m_rows.swap(block->m_rows);
    m_hives.swap(block->m_hives);
  } else {
    Size32(m_text.size() + block->m_text.size());
    const auto base = static_cast<std::uint32_t>(m_text.size());
    MakeRoom(&m_text, block->m_text.size());
    m_text.append(block->m_text);
    MakeRoom(&m_rows, block->m_rows.size());
    for (Record r : block->m_rows) {
      r.location += base;
      r.tail += base;
      r.hive = HiveIndex(block->m_hives[r.hive]);
      m_rows.push_back(r);
    }
  }
  block->Clear();
}

std::string_view CRegistryRowStore::Location(std::size_t row) const {
  const Record& r = m_rows[row];
  return View(r.location, r.locationSize);
}

std::string_view CRegistryRowStore::ValueName(std::size_t row) const {
  const Record& r = m_rows[row];
  return View(r.tail + r.tailSize, r.nameSize);
}

void CRegistryRowStore::Describe(const Record& r, std::string* out) const {
  const std::string_view tail = View(r.tail, r.tailSize);
  switch (r.description) {
    case kPathPrefix:
      out->assign(m_texts.invalidPath).append(tail);
      break;
    case kUninstall:
      out->assign(m_texts.invalidUninstall);
      break;
    case kAssociation:
      out->assign(m_texts.invalidAssociation);
      break;
    default:
      out->assign(tail);
      break;
  }
}

void CRegistryRowStore::Read(std::size_t row, RegistryRow* out) const {
  const Record& r = m_rows[row];
  out->location.assign(Location(row));
  Describe(r, &out->description);
  out->valueName.assign(ValueName(row));
  out->category = r.category;
  out->checked = r.checked != 0;
  out->classesHive = m_hives[r.hive];
}

RegistryRow CRegistryRowStore::Row(std::size_t row) const {
  RegistryRow out;
  Read(row, &out);
  return out;
}

void CRegistryRowStore::Text(std::size_t row, int column, std::string* out) const {
  if (column == 0) {
    out->assign(Location(row));
  } else if (column == 1) {
    Describe(m_rows[row], out);
  } else {
    out->assign(ValueName(row));
  }
}

bool CRegistryRowStore::AnyChecked() const {
  return std::any_of(m_rows.begin(), m_rows.end(), [](const Record& r) { return r.checked != 0; });
}

void CRegistryRowStore::Erase(const std::vector<std::size_t>& rows) {
  std::vector<bool> gone(m_rows.size(), false);
  for (std::size_t row : rows) {
    if (row < gone.size()) gone[row] = true;
  }
  Erase(gone);
}

void CRegistryRowStore::Erase(const std::vector<bool>& gone) {
  // Texts lie in row order and a shared key only ever points back at the
  // row before, so the rows that stay can be copied down in one pass: each
  // copy goes to a place at or before its own.
  std::size_t to = 0;
  std::size_t written = 0;  // of m_text
  bool haveKey = false;     // the last key met has been copied, to newKey
  std::uint32_t oldKey = 0, oldKeySize = 0, newKey = 0;
  const auto copy = [&](std::uint32_t from, std::uint32_t size) {
    if (size && from != written) std::memmove(&m_text[written], &m_text[from], size);
    const auto at = static_cast<std::uint32_t>(written);
    written += size;
    return at;
  };
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    Record r = m_rows[i];
    // An empty key may sit where the next row's own key begins.
    if (r.location != oldKey || r.locationSize != oldKeySize) haveKey = false;
    oldKey = r.location;
    oldKeySize = r.locationSize;
    if (i < gone.size() && gone[i]) continue;
    if (!haveKey) {
      newKey = copy(r.location, r.locationSize);
      haveKey = true;
    }
    r.location = newKey;
    r.tail = copy(r.tail, r.tailSize + r.nameSize);
    m_rows[to++] = r;
  }
  m_rows.resize(to);
  m_text.resize(written);
}

void CRegistryRowStore::Clear() {
  std::string().swap(m_text);
  std::vector<Record>().swap(m_rows);
  m_hives.clear();
}

}  // namespace tw
