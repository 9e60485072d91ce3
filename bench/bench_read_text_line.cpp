// Reading a 20,000-line UTF-16 file line by line: the buffered readTextLine
// against the unbuffered approach that re-reads a window of 8190 bytes from
// the current position for every line.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "shell/textfile.h"

namespace {

constexpr int kLines = 20000;

const std::filesystem::path& sampleFile() {
  static const std::filesystem::path path = [] {
    std::filesystem::path file = std::filesystem::temp_directory_path() / "kv_bench_20000_lines.txt";
    kv::TaggedFileWriter out(file);
    for (int i = 0; i < kLines; ++i)
      out.line(u"_POSE:[%d]-[0x%04x]-[[pose %d]]-[%d,%d,%d,%d,%d,%d,%d,%d]\n",
               {i, i & 0xFFFF, i, i % 7, -i % 300, 120, -45, 0, 2048, i % 100, 33});
    out.finish();
    return file;
  }();
  return path;
}

void BM_BufferedReadTextLine(benchmark::State& state) {
  const auto& path = sampleFile();
  for (auto _ : state) {
    kv::TextFileHandle file = kv::openTextFile(path, "r");
    std::u16string line;
    int count = 0;
    while (kv::readTextLine(line, kv::kMotionFileLineCapacity, file.get()) > 0) ++count;
    kv::closeTextFile(file);
    if (count != kLines) state.SkipWithError("wrong line count");
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_BufferedReadTextLine)->Unit(benchmark::kMillisecond);

// One line the unbuffered way: check the first two bytes, go back, read a
// window from the current position, cut the line, move past it.
int unbufferedReadLine(int fd, off_t& position, std::u16string& line, int capacity) {
  unsigned char head[2] = {0, 0};
  pread(fd, head, 2, 0);
  bool utf16 = head[0] == 0xFF && head[1] == 0xFE;
  unsigned char window[8192];
  std::memset(window, 0, sizeof window);
  ssize_t got = pread(fd, window, 8190, position);
  if (got <= 0 || !utf16) return 0;
  size_t skip = (got >= 2 && window[0] == 0xFF && window[1] == 0xFE) ? 2 : 0;
  line.clear();
  for (size_t at = skip; at + 1 < static_cast<size_t>(got); at += 2) {
    char16_t unit = static_cast<char16_t>(window[at] | (window[at + 1] << 8));
    if (unit == u'\n' || unit == 0 || line.size() >= static_cast<size_t>(capacity)) break;
    line.push_back(unit);
  }
  position += static_cast<off_t>(skip + 2 * (line.size() + 1));
  return static_cast<int>(line.size());
}

void BM_UnbufferedRereadPerLine(benchmark::State& state) {
  const auto& path = sampleFile();
  for (auto _ : state) {
    int fd = open(path.c_str(), O_RDONLY);
    off_t position = 0;
    std::u16string line;
    int count = 0;
    while (unbufferedReadLine(fd, position, line, kv::kMotionFileLineCapacity) > 0) ++count;
    close(fd);
    if (count != kLines) state.SkipWithError("wrong line count");
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_UnbufferedRereadPerLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
