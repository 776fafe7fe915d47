// The registry interface over advapi32. Names and data are read through the
// wide calls and handed out in the ANSI code page only when they convert
// exactly; otherwise the read fails with kErrorNoUnicodeTranslation, so an
// entry the code page cannot name drops out instead of being acted on under
// a damaged name. Buffer sizes given by the caller are measured on the
// converted text, so a name or value that does not fit fails exactly as it
// would for the caller's own 260-byte buffer; kUnlimited reads whatever the
// length.
#pragma once

#include "platform/registry.h"

namespace tw {

class CWin32Registry : public IRegistry {
 public:
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* out,
              RegView view = RegView::kDefault) override;
  long CreateKey(RegKey parent, const std::string& path, RegKey* out,
                 RegView view = RegView::kDefault) override;
  long CloseKey(RegKey key) override;
  long EnumKey(RegKey key, std::uint32_t index, std::string* name, std::size_t nameBuf) override;
  long EnumValue(RegKey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                 std::vector<std::uint8_t>* data, std::size_t nameBuf,
                 std::size_t dataBuf) override;
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                  std::vector<std::uint8_t>* data, std::size_t dataBuf) override;
  long QueryKeyInfo(RegKey key, RegKeyInfo* info) override;
  long SetValue(RegKey key, const std::string& name, std::uint32_t type, const void* data,
                std::size_t size) override;
  long DeleteValue(RegKey key, const std::string& name) override;
  long DeleteKey(RegKey parent, const std::string& path,
                RegView view = RegView::kDefault) override;
  std::unique_ptr<IRegistryWatch> WatchKey(RegKey key, long* error = nullptr) override;
  // win32_registry_links.cpp
  long OpenKeyNoFollow(RegKey parent, const std::string& name, std::uint32_t access, RegKey* out,
                       bool* isLink) override;
  long DeleteOpenedKey(RegKey key) override;
};

}  // namespace tw
