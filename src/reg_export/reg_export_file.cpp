#include "reg_export/reg_export_file.h"

#include <cstdio>

#include "platform/text.h"
#include "reg_export/reg_format.h"

namespace tw {

namespace {

constexpr long kErrorInvalidData = 13;
// Answered when a key or value stays because part of it could not be
// written or removed.
constexpr long kErrorKept = kErrorAccessDenied;
// More numbered names than anyone makes within one second.
constexpr int kMaxBackupNumber = 1000;

}  // namespace

std::string FormatBackupStamp(const SystemTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%u_%u_%u_%u_%u_%u", unsigned{t.wYear}, unsigned{t.wMonth},
                unsigned{t.wDay}, unsigned{t.wHour}, unsigned{t.wMinute}, unsigned{t.wSecond});
  return text;
}

std::string MakeBackupFileName(IFileSystem& fs, const SystemTime& localTime) {
  return GetProgramFolder(fs) + "\\RegBackup\\" + FormatBackupStamp(localTime) + ".reg";
}

CRegExportFile::CRegExportFile(IRegistry& reg, IFileSystem& fs) : m_reg(reg), m_fs(fs) {}

CRegExportFile::~CRegExportFile() { Close(); }

long CRegExportFile::Open(const std::string& path) {
  Close();
  m_writeError = kErrorSuccess;
  m_unicode = false;
  m_nWhole = 0;
  m_bFlushed = false;
  m_bCutFailed = false;
  long error = kErrorSuccess;
  m_file = m_fs.CreateFile(path, CreateMode::kCreateNew, &error);
  if (!m_file) return error != kErrorSuccess ? error : kErrorFileNotFound;
  return kErrorSuccess;
}

long CRegExportFile::OpenNew(const std::string& path, std::string* opened) {
  const std::size_t slash = FindLastChar(path, '\\');
  std::size_t dot = FindLastChar(path, '.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
  long rc = kErrorFileExists;
  for (int n = 1; n <= kMaxBackupNumber && rc == kErrorFileExists; ++n) {
    const std::string candidate =
        n == 1 ? path : path.substr(0, dot) + "-" + std::to_string(n) + path.substr(dot);
    rc = Open(candidate);
    if (rc == kErrorSuccess && opened) *opened = candidate;
  }
  return rc;
}

long CRegExportFile::Close() {
  if (!m_file) return kErrorSuccess;
  const bool flushed = m_file->Flush();
  const bool ok = m_file->Close() && flushed;
  m_file.reset();
  return ok ? kErrorSuccess : kErrorWriteFault;
}

bool CRegExportFile::Write(const std::string& ansiText) {
  if (m_writeError != kErrorSuccess) return false;
  if (!m_file) {
    m_writeError = kErrorInvalidHandle;
    return false;
  }
  // Text mode: every line ends with CR LF on disk.
  std::string text;
  text.reserve(ansiText.size() + ansiText.size() / 16);
  for (char c : ansiText) {
    if (c == '\n') text += '\r';
    text += c;
  }
  std::string bytes;
  if (m_unicode) {
    const std::u16string wide = AnsiToUtf16(text);
    bytes.reserve(wide.size() * 2);
    for (char16_t u : wide) {
      bytes += static_cast<char>(u & 0xFF);
      bytes += static_cast<char>(u >> 8);
    }
  } else {
    bytes = std::move(text);
  }
  return WriteWhole(bytes.data(), bytes.size());
}

// Each call writes whole sections. One that stops midway (a full disk) is
// taken back: the registry editor would import a cut line such as
// "Big"=hex:7f,7f over the value that was kept because it did not fit.
bool CRegExportFile::WriteWhole(const char* bytes, std::size_t size) {
  if (m_file->Write(bytes, size)) {
    m_nWhole += size;
    return true;
  }
  m_writeError = m_file->LastWriteError();
  if (m_writeError == kErrorSuccess) m_writeError = kErrorWriteFault;
  // A cut that fails leaves the partial line in the file; the caller must
  // say so, since importing the file as it is would write that line.
  if (!m_file->Truncate(m_nWhole)) m_bCutFailed = true;
  return false;
}

// Once before the first removal the file covers, so that what is removed is
// on the disk, not only in the system's cache; Close flushes the rest.
bool CRegExportFile::FlushOnce() {
  if (m_bFlushed) return true;
  if (m_writeError != kErrorSuccess) return false;
  if (!m_file || !m_file->Flush()) {
    m_writeError = m_file ? m_file->LastWriteError() : kErrorInvalidHandle;
    if (m_writeError == kErrorSuccess) m_writeError = kErrorWriteFault;
    return false;
  }
  m_bFlushed = true;
  return true;
}

// A name or text that the code page cannot hold reads as an error
// (kErrorNoUnicodeTranslation) and would be missing from the backup, so a
// tree with one anywhere is neither written nor removed. Other read errors
// are the walk's own business: it keeps what it cannot write.
bool CRegExportFile::HoldsForeignName(RegKey hive, const std::string& keyPath) {
  CRegKeyGuard key(m_reg);
  bool link = false;
  if (RegOpenPathNoFollow(m_reg, hive, keyPath, kKeyRead, key.Put(), &link) != kErrorSuccess) {
    return false;
  }
  return HoldsForeignNameOpened(key.Get(), link, 0);
}

// Never through a link, as the walk that follows: a link is written as a
// comment naming it, so whatever lies at its target cannot be missing from
// the backup, and a link planted under a stale entry must not decide
// whether that entry goes.
bool CRegExportFile::HoldsForeignNameOpened(RegKey key, bool isLink, int depth) {
  if (isLink) return false;
  // Deeper than the registry nests keys: something loops; keep it all.
  if (depth >= kMaxKeyDepth) return true;
  std::string name;
  for (std::uint32_t i = 0;; ++i) {
    const long rc = m_reg.EnumKey(key, i, &name, kUnlimited);
    if (rc == kErrorNoUnicodeTranslation) return true;
    // Any other failure ends the look here (a failing key may fail at every
    // index); the walk itself keeps what it cannot read.
    if (rc != kErrorSuccess) break;
    CRegKeyGuard sub(m_reg);
    bool link = false;
    if (m_reg.OpenKeyNoFollow(key, name, kKeyRead, sub.Put(), &link) != kErrorSuccess) continue;
    if (HoldsForeignNameOpened(sub.Get(), link, depth + 1)) return true;
  }
  for (std::uint32_t i = 0;; ++i) {
    const long rc = m_reg.EnumValue(key, i, nullptr, nullptr, nullptr, kUnlimited, kUnlimited);
    if (rc == kErrorNoUnicodeTranslation) return true;
    if (rc != kErrorSuccess) break;
  }
  return false;
}

long CRegExportFile::WriteHeader(int windowsVersionCode) {
  // The Unicode form came with the registry editor of Windows 2000: the one
  // of NT 4 refuses it like those of the 9x family, and a backup its own
  // system cannot import would be no backup there.
  m_unicode = !(windowsVersionCode >= 1 && windowsVersionCode <= 4);
  if (m_unicode && m_file && m_writeError == kErrorSuccess) {
    static const char kBom[] = {'\xFF', '\xFE'};
    WriteWhole(kBom, sizeof kBom);
  }
  Write(m_unicode ? "Windows Registry Editor Version 5.00\n\n" : "REGEDIT4\n\n");
  return m_writeError;
}

std::string CRegExportFile::KeyLine(RegKey hive, const std::string& keyPath) const {
  std::string line = "[";
  line += HivePrefix(hive);
  line += keyPath;
  line += "]\n";
  return line;
}

bool CRegExportFile::AppendValues(RegKey key, const std::string& keyLine, std::string* section) {
  bool complete = true;
  bool any = false;
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0;; ++i) {
    const long rc = m_reg.EnumValue(key, i, &name, &type, &data, kUnlimited, kUnlimited);
    if (rc == kErrorNoMoreItems) break;
    if (rc != kErrorSuccess) {
      complete = false;
      break;
    }
    std::string line;
    if (!FormatValueLine(name, type, data, m_unicode, &line)) {
      complete = false;
      continue;
    }
    *section += keyLine;
    *section += line;
    *section += "\n\n";
    any = true;
  }
  if (!any) {
    *section += keyLine;
    *section += "\n";
  }
  return complete;
}

long CRegExportFile::ExportAndRemove(RegKey hive, const std::string& keyPath,
                                     const std::string& valueName, bool wholeKey) {
  if (HivePrefix(hive).empty()) return kErrorInvalidParameter;
  if (m_writeError != kErrorSuccess) return m_writeError;
  if (!m_file) return kErrorInvalidHandle;
  if (!wholeKey) return ExportAndRemoveValue(hive, keyPath, valueName);
  // An empty path would name the hive itself.
  if (keyPath.empty()) return kErrorInvalidParameter;
  if (HoldsForeignName(hive, keyPath)) return kErrorNoUnicodeTranslation;
  switch (ExportAndRemoveTree(hive, keyPath)) {
    case TreeResult::kRemoved: return kErrorSuccess;
    case TreeResult::kGone: return kErrorFileNotFound;
    case TreeResult::kKept: return kErrorKept;
    case TreeResult::kWriteFailed: break;
  }
  return m_writeError;
}

long CRegExportFile::ExportAndRemoveValue(RegKey hive, const std::string& keyPath,
                                          const std::string& valueName) {
  if (!IsWritableRegText(keyPath, m_unicode)) return kErrorInvalidParameter;
  CRegKeyGuard key(m_reg);
  bool link = false;
  const long opened = RegOpenPathNoFollow(m_reg, hive, keyPath, kKeyAllAccess, key.Put(), &link);
  if (opened != kErrorSuccess) return opened;
  // A link's one value is where it leads.
  if (link) return kErrorAccessDenied;
  const std::string keyLine = KeyLine(hive, keyPath);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const long read = m_reg.QueryValue(key.Get(), valueName, &type, &data, kUnlimited);
  if (read != kErrorSuccess) {
    // The key line alone records where the value was; a value that is
    // there but unreadable stays.
    if (!Write(keyLine)) return m_writeError;
    return read;
  }
  std::string line;
  if (!FormatValueLine(valueName, type, data, m_unicode, &line)) return kErrorInvalidData;
  if (!Write(keyLine + line + "\n\n")) return m_writeError;
  if (!FlushOnce()) return m_writeError;
  if (valueName.empty()) m_reg.SetValue(key.Get(), "", kRegSz, "", 1);
  return m_reg.DeleteValue(key.Get(), valueName);
}

// Children first: each subkey's section is written and the subkey removed
// before the next one is taken. A subkey that stays is stepped over (and
// keeps this key too), so the walk ends even when a removal fails.
CRegExportFile::TreeResult CRegExportFile::ExportAndRemoveTree(RegKey hive,
                                                                const std::string& keyPath) {
  if (m_writeError != kErrorSuccess) return TreeResult::kWriteFailed;
  if (!IsWritableRegText(keyPath, m_unicode)) return TreeResult::kKept;
  CRegKeyGuard key(m_reg);
  bool link = false;
  const long opened = RegOpenPathNoFollow(m_reg, hive, keyPath, kKeyAllAccess, key.Put(), &link);
  if (opened == kErrorFileNotFound) return TreeResult::kGone;
  if (opened != kErrorSuccess) return TreeResult::kKept;
  return ExportAndRemoveOpened(key.Get(), link, hive, keyPath, 0);
}

CRegExportFile::TreeResult CRegExportFile::ExportAndRemoveOpened(RegKey key, bool isLink,
                                                                  RegKey hive,
                                                                  const std::string& keyPath,
                                                                  int depth) {
  if (m_writeError != kErrorSuccess) return TreeResult::kWriteFailed;
  if (isLink) {
    if (!Write(LinkSection(key, hive, keyPath))) return TreeResult::kWriteFailed;
    if (!FlushOnce()) return TreeResult::kWriteFailed;
    return m_reg.DeleteOpenedKey(key) == kErrorSuccess ? TreeResult::kRemoved : TreeResult::kKept;
  }
  if (depth >= kMaxKeyDepth) return TreeResult::kKept;
  bool complete = true;
  std::uint32_t index = 0;
  std::string name;
  std::string removed;
  for (;;) {
    const long rc = m_reg.EnumKey(key, index, &name, kUnlimited);
    if (rc == kErrorNoMoreItems) break;
    if (rc != kErrorSuccess) {
      complete = false;
      break;
    }
    // A removal that reported success but left the key behind must not
    // bring the same subkey back forever.
    if (!removed.empty() && EqualsNoCase(name, removed)) {
      complete = false;
      ++index;
      continue;
    }
    const std::string childPath = keyPath + "\\" + name;
    TreeResult child = TreeResult::kKept;
    if (IsWritableRegText(childPath, m_unicode)) {
      CRegKeyGuard sub(m_reg);
      bool link = false;
      const long opened = m_reg.OpenKeyNoFollow(key, name, kKeyAllAccess, sub.Put(), &link);
      if (opened == kErrorSuccess) {
        child = ExportAndRemoveOpened(sub.Get(), link, hive, childPath, depth + 1);
      }
    }
    if (child == TreeResult::kWriteFailed) return child;
    if (child == TreeResult::kRemoved) {
      removed = name;  // the next subkey has moved up to this index
    } else {
      complete = false;
      removed.clear();
      ++index;
    }
  }
  std::string section;
  if (!AppendValues(key, KeyLine(hive, keyPath), &section)) complete = false;
  if (!Write(section)) return TreeResult::kWriteFailed;
  if (!complete) return TreeResult::kKept;
  if (!FlushOnce()) return TreeResult::kWriteFailed;
  return m_reg.DeleteOpenedKey(key) == kErrorSuccess ? TreeResult::kRemoved : TreeResult::kKept;
}

std::string CRegExportFile::LinkSection(RegKey key, RegKey hive, const std::string& keyPath) const {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  std::u16string target;
  if (m_reg.QueryValue(key, "SymbolicLinkValue", &type, &data, kUnlimited) == kErrorSuccess) {
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      target += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
  }
  std::string text = "; [" + HivePrefix(hive) + keyPath + "] was a registry link to \"" +
                     Utf16ToAnsi(target) + "\"; removed as a link, its target was left alone\n\n";
  // One line: a line break in a target must not start a section of its own.
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') text[i] = ' ';
  }
  return text;
}

long CRegExportFile::ExportKey(RegKey hive, const std::string& keyPath,
                               const std::string& valueName, bool singleValue) {
  if (m_writeError != kErrorSuccess) return m_writeError;
  if (!m_file) return kErrorInvalidHandle;
  if (!singleValue) {
    if (HoldsForeignName(hive, keyPath)) return kErrorNoUnicodeTranslation;
    return ExportTree(hive, keyPath);
  }
  if (!IsWritableRegText(keyPath, m_unicode)) return kErrorInvalidParameter;
  CRegKeyGuard key(m_reg);
  bool link = false;
  const long opened = RegOpenPathNoFollow(m_reg, hive, keyPath, kKeyAllAccess, key.Put(), &link);
  if (opened != kErrorSuccess) return opened;
  if (link) return kErrorAccessDenied;
  const std::string keyLine = KeyLine(hive, keyPath);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const long read = m_reg.QueryValue(key.Get(), valueName, &type, &data, kUnlimited);
  std::string line;
  if (read != kErrorSuccess || !FormatValueLine(valueName, type, data, m_unicode, &line)) {
    if (!Write(keyLine)) return m_writeError;
    return read != kErrorSuccess ? read : kErrorInvalidData;
  }
  // The value is left as it is: a repair backs up the value it is about to
  // fix, and if its own write then fails the old data must still be there.
  if (!Write(keyLine + line + "\n\n")) return m_writeError;
  return kErrorSuccess;
}

long CRegExportFile::ExportTree(RegKey hive, const std::string& keyPath) {
  if (!IsWritableRegText(keyPath, m_unicode)) return kErrorInvalidParameter;
  CRegKeyGuard key(m_reg);
  bool link = false;
  const long opened = RegOpenPathNoFollow(m_reg, hive, keyPath, kKeyAllAccess, key.Put(), &link);
  if (opened != kErrorSuccess) return opened;
  return ExportOpened(key.Get(), link, hive, keyPath, 0);
}

long CRegExportFile::ExportOpened(RegKey key, bool isLink, RegKey hive, const std::string& keyPath,
                                  int depth) {
  if (isLink) return Write(LinkSection(key, hive, keyPath)) ? kErrorSuccess : m_writeError;
  if (depth >= kMaxKeyDepth) return kErrorInvalidData;
  long result = kErrorSuccess;
  std::string name;
  for (std::uint32_t index = 0;; ++index) {
    const long rc = m_reg.EnumKey(key, index, &name, kUnlimited);
    if (rc == kErrorNoMoreItems) break;
    if (rc != kErrorSuccess) {
      result = rc;
      break;
    }
    const std::string childPath = keyPath + "\\" + name;
    long child = kErrorInvalidParameter;
    if (IsWritableRegText(childPath, m_unicode)) {
      CRegKeyGuard sub(m_reg);
      bool link = false;
      child = m_reg.OpenKeyNoFollow(key, name, kKeyAllAccess, sub.Put(), &link);
      if (child == kErrorSuccess) child = ExportOpened(sub.Get(), link, hive, childPath, depth + 1);
    }
    if (m_writeError != kErrorSuccess) return m_writeError;
    if (child != kErrorSuccess) result = child;
  }
  std::string section;
  if (!AppendValues(key, KeyLine(hive, keyPath), &section)) result = kErrorInvalidData;
  if (!Write(section)) return m_writeError;
  return result;
}

}  // namespace tw
