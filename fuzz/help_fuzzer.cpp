// The help reader on arbitrary bytes: opened from them, then everything the
// help viewer reads of a file: its table of contents, its index, its home
// page and every file it stores.
#include <cstdint>
#include <cstdlib>

#include "help/chm_file.h"
#include "help/chm_structure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = varnel::help::ChmFile::fromBytes({data, size});
  if (!file) return 0;
  (void)file->tableOfContents();
  (void)file->index();
  (void)file->homePage();
  for (const std::string& name : file->fileNames()) {
    const auto contents = file->read(name);
    // No stored file is larger than its section may be.
    if (contents && contents->size() > varnel::help::kMaxChmContentSize) std::abort();
  }
  return 0;
}
