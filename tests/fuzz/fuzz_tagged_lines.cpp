// Fuzz target: reading a tagged-line file and taking fields from its lines
// must stay inside each line, whatever the file holds (either encoding, any
// line length, brackets in any order).
#include <cstddef>
#include <cstdint>

#include "fuzz_file_input.h"
#include "shell/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool utf16 = data[0] & 1;
  const int capacity = (data[0] & 2) ? 16 : 4095;  // short lines are cut
  const fuzzing::InputFile input("fuzz_tagged_lines", fuzzing::asFile("", data + 1, size - 1, utf16));
  kv::readTaggedFile(input.path(), capacity, [](std::u16string_view line) {
    kv::FieldReader fields(line, kv::findKey(line, u"KEY:"));
    for (int i = 0; i < 4 && fields.ok(); ++i) {
      fields.decimal();
      fields.real();
      fields.text();
      fields.hex4();
    }
    kv::parseHexRun(line);
    kv::parseHex4(line);
  });
  return 0;
}
