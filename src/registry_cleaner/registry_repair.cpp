#include "registry_cleaner/registry_repair.h"

#include "platform/text.h"
#include "registry_cleaner/registry_finding.h"

namespace tw {

namespace {

// The drive-letter roots a path must start with to be judged at all.
const char kDriveLetters[] =
    "A:\\B:\\C:\\D:\\E:\\F:\\G:\\H:\\I:\\J:\\K:\\L:\\M:\\N:\\O:\\P:\\Q:\\R:\\S:\\T:\\U:\\V:\\W:\\X:"
    "\\Y:\\Z:\\";
const char kSeparators[] = " ;,|";
constexpr int kMaxAttempts = 50;

bool EndsWithBackslash(const std::string& s) {
  return !s.empty() && FindLastChar(s, '\\') == s.size() - 1;
}

// The path check's first steps: one trailing separator dropped, the text
// between a leading pair of quotes kept, then lower-cased.
std::string NormaliseLikeScan(std::string text) {
  if (EndsWithBackslash(text)) text.pop_back();
  if (!text.empty() && text[0] == '"') {
    const std::size_t p = FindChar(text, '"', 1);
    if (p != std::string::npos && p > 0) text = text.substr(1, p - 1);
  }
  return LowerCase(text);
}

std::string TrimCandidate(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' ||
                        s.back() == '\n' || s.back() == '\v' || s.back() == '\f')) {
    s.pop_back();
  }
  if (EndsWithBackslash(s)) s.pop_back();
  return s;
}

// Replaces every occurrence of `needle` in `text`, compared without regard to
// the case of ASCII letters; the rest of the text keeps its own case.
std::string ReplaceNoCase(const std::string& text, const std::string& needle,
                          const std::string& replacement, int* count) {
  *count = 0;
  if (needle.empty()) return text;
  const std::string lowerText = LowerCase(text);
  const std::string lowerNeedle = LowerCase(needle);
  std::string out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = FindText(lowerText, lowerNeedle, from);
    if (at == std::string::npos) break;
    out.append(text, from, at - from);
    out += replacement;
    from = at + needle.size();
    ++*count;
  }
  out.append(text, from, std::string::npos);
  return out;
}

}  // namespace

CRegistryRepair::CRegistryRepair(const Platform& platform, const CRunControl& run,
                                 std::string invalidPathPrefix, BackupValue backup,
                                 Progress progress)
    : m_platform(platform),
      m_run(run),
      m_prefix(std::move(invalidPathPrefix)),
      m_backup(std::move(backup)),
      m_progress(std::move(progress)) {}

bool CRegistryRepair::Exists(const std::string& pattern) const {
  return PathExists(*m_platform.files, pattern);
}

std::optional<BrokenPathSplit> CRegistryRepair::SplitBrokenPath(const std::string& input) const {
  std::string path = input;
  if (EndsWithBackslash(path)) path.pop_back();
  if (!path.empty() && path[0] == '"') {
    const std::size_t p = FindChar(path, '"', 1);
    if (p != std::string::npos && p > 0) path = path.substr(1, p - 1);
  }
  if (path.size() < 3) return std::nullopt;
  const std::string root = UpperCase(path.substr(0, 3));
  if (std::string(kDriveLetters).find(root) == std::string::npos) return std::nullopt;
  switch (m_platform.files->GetDriveType(root)) {
    case kDriveRemovable:
    case kDriveRemote:
    case kDriveCdrom:
    case kDriveRamdisk:
      return std::nullopt;  // drives that may be absent are never repaired
    default:
      break;
  }
  path = LowerCase(path);

  std::string candidate;
  bool found = false;
  for (const char* marker : {".exe\\", ".dll\\"}) {
    const std::size_t p = FindText(path, marker);
    if (p != std::string::npos && p > 0 && Exists(path.substr(0, p + 4))) {
      candidate = path.substr(0, p + 4);
      found = true;
      break;
    }
  }

  // The separator scan: the position carries over from one separator to the
  // next, as in the scan's own path check.
  long pos = 3;
  for (const char* sep = kSeparators; !found && *sep; ++sep) {
    int attempts = 0;
    for (;;) {
      if (m_run.Poll()) return std::nullopt;
      const std::size_t at = FindChar(path, *sep, static_cast<std::size_t>(pos + 1));
      pos = at == std::string::npos ? -1 : static_cast<long>(at);
      candidate = TrimCandidate(pos > 0 ? path.substr(0, static_cast<std::size_t>(pos)) : path);
      if (Exists(candidate)) {
        found = true;
        break;
      }
      if (candidate == path) break;
      if (++attempts >= kMaxAttempts) return std::nullopt;
    }
  }
  if (candidate.empty()) return std::nullopt;

  BrokenPathSplit split;
  split.candidate = candidate;
  std::string folder;
  SplitAtLastBackslash(candidate, &folder, &split.fileName);
  int count = 0;
  split.pattern = ReplaceNoCase(path, candidate, "%s", &count);
  return split;
}

std::optional<std::string> CRegistryRepair::SearchFolderTree(const std::string& folder,
                                                             const std::string& fileName) const {
  FindData data;
  auto find = m_platform.files->FindFirst(folder + "\\*", &data);
  if (!find) return std::nullopt;
  do {
    if (data.name == "." || data.name == "..") continue;
    if (m_run.Poll()) return std::nullopt;
    if (data.IsDirectory()) {
      // Links to folders are not followed: one pointing up would never end.
      if (data.attributes & kAttrReparsePoint) continue;
      if (auto hit = SearchFolderTree(folder + "\\" + data.name, fileName)) return hit;
      if (m_run.StopRequested()) return std::nullopt;
    } else if (EqualsNoCase(data.name, fileName)) {
      return LowerCase(folder + "\\" + fileName);
    }
  } while (find->Next(&data));
  return std::nullopt;
}

std::optional<std::string> CRegistryRepair::FindFileInFolders(const std::string& fileName) const {
  if (fileName.empty()) return std::nullopt;
  for (const auto& folder : m_folders) {
    if (m_run.Poll()) return std::nullopt;
    std::string start = folder;
    if (EndsWithBackslash(start)) start.pop_back();
    if (auto hit = SearchFolderTree(start, fileName)) return hit;
  }
  return std::nullopt;
}

bool CRegistryRepair::RepairFinding(const RepairRequest& row) {
  if (row.description.size() <= m_prefix.size() ||
      row.description.compare(0, m_prefix.size(), m_prefix) != 0) {
    return false;  // uninstall and file-association findings
  }
  const FindingKey where = ResolveFindingKey(row.category, row.classesHive, row.location);
  const RegKey hive = where.hive;
  const bool comServer = row.category == 4;
  const bool valueFinding = row.category == 0 || row.category == 1 || row.category == 2 ||
                            row.category == 8;
  if (!hive || (!comServer && !valueFinding)) return false;  // type libraries stay as they are

  IRegistry& reg = *m_platform.registry;
  const std::string keyPath = comServer ? where.path + "\\InprocServer32" : where.path;
  const std::string valueName = comServer ? std::string() : row.valueName;
  CRegKeyGuard key(reg);
  // Never through a link: the value written would land in its target.
  bool link = false;
  const long opened = RegOpenPathNoFollow(reg, hive, keyPath, kKeyAllAccess, key.Put(), &link);
  if (m_run.StopRequested()) return false;
  if (m_progress) m_progress(HivePrefix(hive) + keyPath);
  if (opened != kErrorSuccess || link) return false;

  // Only a path held in the value's data is rewritten. A finding that came
  // from the value's name, or a value changed since the scan, no longer
  // holds the broken path as its data and is left alone.
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (reg.QueryValue(key.Get(), valueName, &type, &bytes, kUnlimited) != kErrorSuccess) {
    return false;
  }
  if (type != kRegSz && type != kRegExpandSz) return false;
  std::string data(bytes.begin(), bytes.end());
  if (const std::size_t zero = data.find('\0'); zero != std::string::npos) data.resize(zero);
  const std::string broken = row.description.substr(m_prefix.size());
  if (NormaliseLikeScan(data) != broken) return false;

  const auto split = SplitBrokenPath(broken);
  if (!split) return false;
  const auto found = FindFileInFolders(split->fileName);
  if (!found || m_run.StopRequested()) return false;

  // Replace the broken path where it stands in the data, so that quotes,
  // arguments and the case of the rest of the text are kept.
  int count = 0;
  const std::string newData = ReplaceNoCase(data, split->candidate, *found, &count);
  if (count == 0 || newData == data) return false;

  if (!m_backup || !m_backup(hive, keyPath, valueName)) return false;
  std::string stored = newData;
  stored.push_back('\0');
  return reg.SetValue(key.Get(), valueName, type, stored.data(), stored.size()) == kErrorSuccess;
}

}  // namespace tw
