// marlo-sim: a virtual MARLO-3 board. It listens in the virtual-board folder
// until SIGINT or SIGTERM, then removes its socket file.
#include <getopt.h>
#include <iconv.h>
#include <signal.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board_server.h"

namespace {

const char kUsage[] =
    "usage: marlo-sim [options]\n"
    "A virtual MARLO-3 board on the virtual-board socket folder ($TAVLINK_VIRTUAL_DIR,\n"
    "else $XDG_RUNTIME_DIR/tavlink, else /tmp/tavlink).\n"
    "\n"
    "  -n, --name NAME            robot name of a blank board (default DemoHumanoid)\n"
    "      --firmware-version V   firmware version: 1.000 or the 8.8 word 0x0100 (default 1.000)\n"
    "      --revision N           firmware revision (default 20)\n"
    "  -f, --flash FILE           keep the 2 MiB flash in FILE (created when missing)\n"
    "  -t, --time-scale F         board durations times F; 0.01 runs a hundred times faster (default 1)\n"
    "  -s, --socket NAME|PATH     socket file name in the folder, or a path (default marlo-sim-<pid>)\n"
    "      --battery MV           battery voltage with the servos off, in mV (default 7400)\n"
    "      --usb-version HEX      USB device version in the hello (default 0x0100)\n"
    "      --drop-replies N       lose the replies to every n-th request\n"
    "      --corrupt-replies N    send the replies to every n-th request with their first report out of order\n"
    "      --unplug-after N       leave the bus after the n-th report from the host\n"
    "      --replug-after MS      come back that many ms after an unplug (default: never)\n"
    "      --fail-flash N         let the n-th flash operation fail\n"
    "      --kpbus TYPE@ADDR[:raw=V,...]  attach an expansion device (repeatable): TYPE G1, LD, DIO,\n"
    "                             AIN, MP3, GC or a type code; ADDR its bus address; V its raw readings\n"
    "  -v, --verbose              log connections, requests and restarts to stderr\n"
    "  -h, --help                 this text\n";

bool parseInt(const char* text, long min, long max, long* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || value < min || value > max) return false;
  *out = value;
  return true;
}

// "1.000" or "1" is a version number; "0x0100" is the 8.8 word itself.
bool parseVersion(const char* text, uint16_t* out) {
  long word = 0;
  if (std::strncmp(text, "0x", 2) == 0 || std::strncmp(text, "0X", 2) == 0) {
    if (!parseInt(text, 0, 0xFFFF, &word)) return false;
  } else {
    char* end = nullptr;
    const double version = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(version >= 0) || version >= 256) return false;
    word = std::lround(version * 256);
    if (word > 0xFFFF) return false;
  }
  *out = static_cast<uint16_t>(word);
  return true;
}

// The board keeps its name in the system code page of the editor's users
// (Shift-JIS); a name that does not convert is kept as given.
std::string toBoardCodePage(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string in = utf8;
  std::string out(utf8.size() * 2 + 4, '\0');
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1)) return utf8;
  out.resize(out.size() - outLeft);
  return out;
}

int usageError(const char* what) {
  std::fprintf(stderr, "marlo-sim: %s\n%s", what, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  boardsim::ServerOptions options;
  enum {
    kFirmwareVersion = 1000,
    kRevision,
    kBattery,
    kUsbVersion,
    kDrop,
    kCorrupt,
    kUnplug,
    kReplug,
    kFailFlash,
    kKpbus,
  };
  static const option longOptions[] = {
      {"name", required_argument, nullptr, 'n'},
      {"firmware-version", required_argument, nullptr, kFirmwareVersion},
      {"revision", required_argument, nullptr, kRevision},
      {"flash", required_argument, nullptr, 'f'},
      {"time-scale", required_argument, nullptr, 't'},
      {"socket", required_argument, nullptr, 's'},
      {"battery", required_argument, nullptr, kBattery},
      {"usb-version", required_argument, nullptr, kUsbVersion},
      {"drop-replies", required_argument, nullptr, kDrop},
      {"corrupt-replies", required_argument, nullptr, kCorrupt},
      {"unplug-after", required_argument, nullptr, kUnplug},
      {"replug-after", required_argument, nullptr, kReplug},
      {"fail-flash", required_argument, nullptr, kFailFlash},
      {"kpbus", required_argument, nullptr, kKpbus},
      {"verbose", no_argument, nullptr, 'v'},
      {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0},
  };
  long n = 0;
  for (;;) {
    const int c = getopt_long(argc, argv, "n:f:t:s:vh", longOptions, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'n':
        options.board.robotName = toBoardCodePage(optarg);
        break;
      case kFirmwareVersion:
        if (!parseVersion(optarg, &options.board.firmwareVersion)) return usageError("bad firmware version");
        break;
      case kRevision:
        if (!parseInt(optarg, 0, 0x7FFFFFFF, &n)) return usageError("bad revision");
        options.board.firmwareRevision = static_cast<int32_t>(n);
        break;
      case 'f':
        options.flashFile = optarg;
        break;
      case 't': {
        char* end = nullptr;
        options.timeScale = std::strtod(optarg, &end);
        if (end == optarg || *end != '\0' || !(options.timeScale > 0) || !std::isfinite(options.timeScale))
          return usageError("bad time scale");
        break;
      }
      case 's':
        options.socketPath = optarg;
        break;
      case kBattery:
        if (!parseInt(optarg, 0, 32767, &n)) return usageError("bad battery voltage");
        options.board.batteryMilliVolts = static_cast<int>(n);
        break;
      case kUsbVersion:
        if (!parseInt(optarg, 0, 0xFFFF, &n)) return usageError("bad USB version");
        options.usbVersion = static_cast<uint16_t>(n);
        break;
      case kDrop:
        if (!parseInt(optarg, 1, 1 << 30, &n)) return usageError("bad --drop-replies");
        options.faults.dropEveryNthReply = static_cast<int>(n);
        break;
      case kCorrupt:
        if (!parseInt(optarg, 1, 1 << 30, &n)) return usageError("bad --corrupt-replies");
        options.faults.corruptEveryNthReply = static_cast<int>(n);
        break;
      case kUnplug:
        if (!parseInt(optarg, 1, 1 << 30, &n)) return usageError("bad --unplug-after");
        options.faults.unplugAfterReports = static_cast<int>(n);
        break;
      case kReplug:
        if (!parseInt(optarg, 0, 1 << 30, &n)) return usageError("bad --replug-after");
        options.faults.replugAfterMs = static_cast<int>(n);
        break;
      case kFailFlash:
        if (!parseInt(optarg, 1, 1 << 30, &n)) return usageError("bad --fail-flash");
        options.board.failFlashOperation = static_cast<int>(n);
        break;
      case kKpbus: {
        boardsim::KpbusDevice device;
        std::string why;
        if (!boardsim::parseKpbusDevice(optarg, &device, &why)) return usageError(("bad --kpbus: " + why).c_str());
        for (const boardsim::KpbusDevice& other : options.board.kpbus) {
          if (other.busAddress == device.busAddress) return usageError("two --kpbus devices at one bus address");
        }
        options.board.kpbus.push_back(device);
        break;
      }
      case 'v':
        options.verbose = true;
        break;
      case 'h':
        std::fputs(kUsage, stdout);
        return 0;
      default:
        return usageError("unknown option");
    }
  }
  if (optind < argc) return usageError("unexpected argument");

  // The board thread must not take the stop signals: main waits for them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  boardsim::BoardServer server(options);
  std::string error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "marlo-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("marlo-sim: listening on %s\n", server.socketPath().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  server.stop();
  return 0;
}
