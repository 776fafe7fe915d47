#include "junk_files/junk_settings.h"

#include <climits>
#include <cstdlib>

namespace tw {

namespace {

// The leading decimal number of a line, as the C library's atoi reads it:
// blanks, an optional sign, the digits; 0 when there are none.
int LeadingNumber(const std::string& line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
  long long value = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    value = value * 10 + (line[i] - '0');
    if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n\v\f";
  const std::size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// The file's lines as a text-mode reader gives them: split at LF, one CR
// before it dropped; a last line without a line end still counts.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string DefaultBackupFolder(IFileSystem& fs) { return GetProgramFolder(fs) + "\\FileBackup"; }

void ParseFileIni(const std::string& bytes, JunkCleanSettings* settings,
                  std::vector<FileTypeEntry>* types) {
  const std::vector<std::string> lines = SplitLines(bytes);
  std::size_t n = 0;
  auto next = [&](std::string* line) {
    if (n >= lines.size()) return false;
    *line = lines[n++];
    return true;
  };
  std::string line;
  if (next(&line)) settings->deleteMode = LeadingNumber(line);
  if (next(&line)) settings->cleanIeCache = LeadingNumber(line);
  if (next(&line)) settings->cleanSystemTemp = LeadingNumber(line);
  if (next(&line)) {
    const std::string folder = Trim(line);
    if (!folder.empty()) settings->backupFolder = folder;
  }
  while (next(&line) && !line.empty()) {
    FileTypeEntry entry;
    entry.enabled = LeadingNumber(line) != 0;
    next(&entry.pattern);
    next(&entry.description);
    types->push_back(std::move(entry));
  }
}

std::string FormatFileIni(const JunkCleanSettings& settings,
                          const std::vector<FileTypeEntry>& types) {
  std::string out;
  auto line = [&](const std::string& text) { out += text + "\r\n"; };
  line(std::to_string(settings.deleteMode));
  line(std::to_string(settings.cleanIeCache));
  line(std::to_string(settings.cleanSystemTemp));
  line(settings.backupFolder);
  for (const FileTypeEntry& type : types) {
    line(type.enabled ? "1" : "0");
    line(type.pattern);
    line(type.description);
  }
  return out;
}

IniLoad LoadFileIni(IFileSystem& fs, const std::string& path, JunkCleanSettings* settings,
                    std::vector<FileTypeEntry>* types) {
  // Only a folder that says the file is not there means there is none: a
  // folder that cannot be listed may hold one, and the defaults saved at
  // exit would be written over it.
  FindData found;
  long error = kErrorSuccess;
  if (!fs.FindFirst(path, &found, &error)) {
    return error == kErrorFileNotFound ? IniLoad::kNoFile : IniLoad::kUnreadable;
  }
  std::string bytes;
  if (!fs.ReadFile(path, &bytes)) return IniLoad::kUnreadable;
  ParseFileIni(bytes, settings, types);
  return IniLoad::kLoaded;
}

long SaveFileIni(IFileSystem& fs, const std::string& path, const JunkCleanSettings& settings,
                 const std::vector<FileTypeEntry>& types) {
  const std::string text = FormatFileIni(settings, types);
  const std::string fresh = path + ".new";
  long rc = kErrorSuccess;
  auto file = fs.CreateFile(fresh, CreateMode::kCreateAlways, &rc);
  if (!file) return rc ? rc : kErrorWriteFault;
  const bool written = file->Write(text.data(), text.size());
  const bool closed = file->Close();
  if (!written || !closed) {
    fs.DeleteFile(fresh);
    return kErrorWriteFault;
  }
  rc = fs.MoveFileReplace(fresh, path);
  if (rc != kErrorSuccess) fs.DeleteFile(fresh);
  return rc;
}

}  // namespace tw
