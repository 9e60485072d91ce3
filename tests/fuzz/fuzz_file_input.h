// Shared by the file-reader fuzz targets: each input becomes a file the
// reader opens, and messages the readers show are answered silently.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/messages.h"

namespace fuzzing {

// Says No to every question, so a reader's warnings cost nothing.
class SilentAnswers : public kv::MessageHandler {
 public:
  kv::MessageAnswer ask(const kv::Message&) override { return kv::MessageAnswer::No; }
};

// The input as a file of its own for as long as the reader needs it.
class InputFile {
 public:
  InputFile(const char* name, const std::string& bytes)
      : path_(std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(getpid()) + ".txt")) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~InputFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A text in the reader's two encodings: ANSI bytes as given, or UTF-16LE
// with FF FE where every ASCII byte of `head` becomes one unit and the fuzzed
// `rest` is taken as raw units.
inline std::string asFile(const std::string& head, const uint8_t* rest, size_t size, bool utf16) {
  if (!utf16) return head + std::string(reinterpret_cast<const char*>(rest), size);
  std::string bytes = "\xFF\xFE";
  for (char c : head) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  bytes.append(reinterpret_cast<const char*>(rest), size);
  return bytes;
}

}  // namespace fuzzing
