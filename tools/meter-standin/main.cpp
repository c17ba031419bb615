// sovikan-meter: a stand-in for the TR07 meter on a pseudo-terminal.
//
// It makes the pty reachable as a COM port (a link comN in the ports folder),
// describes itself in a sysfs-like folder so that the program's start-up
// discovery finds it like a USB meter, and answers the meter's protocol until
// it is stopped with SIGTERM, SIGINT or SIGHUP, when it removes the link and the
// folder.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <charconv>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "device/line.h"
#include "meter_model.h"
#include "serial/port_names.h"

namespace {

namespace fs = std::filesystem;

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int)
{
    g_stop = 1;
}

struct Options {
    meter::Light light;
    int com = 50;
    std::string sysfs;  // empty: a fresh temporary folder
    std::string ports;  // empty: the serial library's default
    bool log = false;
    bool fast = false;            // no measuring time and no line pacing (soak tests)
    std::uint32_t seed = 1;       // of the stored records
    double answerDelayMs = 0;     // before a stored record's answer
    std::set<int> silentRecords;  // records not answered
    std::set<int> shortRecords;   // records answered with the 37-byte calibration record
};

constexpr const char* kUsage =
    "usage: sovikan-meter [--lux L] [--ripple PERCENT] [--freq HZ] [--noise PERCENT]\n"
    "                     [--com N] [--sysfs DIR] [--ports DIR] [--log] [--fast]\n"
    "                     [--seed N] [--answer-delay MS] [--silent-record K] [--short-record K]\n"
    "Stand-in for the SOVIKAN TR07 meter on a pseudo-terminal; runs until SIGTERM, SIGINT or SIGHUP.\n"
    "  --lux L          light level in lux (default 500)\n"
    "  --ripple PERCENT ripple amplitude, 0..100 (default 10)\n"
    "  --freq HZ        ripple frequency, above 0 up to 1000 (default 100)\n"
    "  --noise PERCENT  noise, standard deviation in percent of the level, 0..100 (default 1)\n"
    "  --com N          COM number 1..99 of the link comN in the ports folder (default 50)\n"
    "  --sysfs DIR      where to write the USB device description (default: a new temporary folder)\n"
    "  --ports DIR      ports folder (default: $SOVIKAN_PORTS_DIR or the program's default)\n"
    "  --log            one line on stderr for each command received (also --once-per-line)\n"
    "  --fast           answer at once: no measuring time, no pacing at the line's speed\n"
    "  --seed N         seed of the 40 stored records (default 1; the same seed, the same records)\n"
    "  --answer-delay MS  wait before answering a read-record command, 0..1000 (default 0)\n"
    "  --silent-record K  record K (0..39) gets no answer; may be repeated\n"
    "  --short-record K   record K is answered with the short calibration record; may be repeated\n";

// The check of a number option: the whole text is a number within [low, high]
// (above low when `lowOpen`), and a whole one when `whole`.
CLI::Validator Number(double low, double high, bool lowOpen = false, bool whole = false)
{
    return CLI::Validator(
        [=](const std::string& text) {
            double value = 0;
            auto res = std::from_chars(text.data(), text.data() + text.size(), value);
            const bool inRange = (lowOpen ? value > low : value >= low) && value <= high;
            if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !inRange ||
                (whole && value != static_cast<int>(value)))
                return "'" + text + "' is not a valid value";
            return std::string();
        },
        "");
}

// Every option's own text is its help, kUsage; the parser's help texts are not used.
Options ParseOptions(int argc, char** argv)
{
    Options o;
    double com = o.com, seed = o.seed;
    std::vector<double> silent, shortOnes;
    CLI::App app("", "sovikan-meter");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--lux", o.light.lux)->check(Number(0, 1e7));
    app.add_option("--ripple", o.light.ripplePercent)->check(Number(0, 100));
    app.add_option("--freq", o.light.frequencyHz)->check(Number(0, 1000, true));
    app.add_option("--noise", o.light.noisePercent)->check(Number(0, 100));
    app.add_option("--com", com)->check(Number(1, 99, false, true));
    app.add_option("--sysfs", o.sysfs);
    app.add_option("--ports", o.ports);
    app.add_flag("--log,--once-per-line", o.log);
    app.add_flag("--fast", o.fast);
    app.add_option("--seed", seed)->check(Number(0, 4294967295.0));
    app.add_option("--answer-delay", o.answerDelayMs)->check(Number(0, 1000));
    for (auto [name, records] : {std::pair{"--silent-record", &silent}, std::pair{"--short-record", &shortOnes}})
        app.add_option(name, *records)
            ->check(Number(0, meter::kStoredRecords - 1))
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << kUsage;
        std::exit(0);
    } catch (const CLI::ParseError& e) {
        throw std::invalid_argument(std::string(e.what()) + " (see --help)");
    }
    o.com = static_cast<int>(com);
    o.seed = static_cast<std::uint32_t>(seed);
    for (double k : silent)
        o.silentRecords.insert(static_cast<int>(k));
    for (double k : shortOnes)
        o.shortRecords.insert(static_cast<int>(k));
    return o;
}

std::runtime_error SystemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// The pseudo-terminal; the slave stays open here so that the master never sees
// a hang-up while the program has the port closed.
class Pty {
public:
    Pty()
    {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw SystemError("openpty");
        slaveName_ = name;
        // Raw 38400 8O1, as the meter's line is set.
        termios tio{};
        ::tcgetattr(slave_, &tio);
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B38400);
        ::cfsetospeed(&tio, B38400);
        tio.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS);
        tio.c_cflag |= CS8 | PARENB | PARODD | CREAD | CLOCAL;
        tio.c_iflag |= INPCK;
        if (::tcsetattr(slave_, TCSANOW, &tio) != 0) {
            // A pseudo-terminal carries no parity bits: the kernel drops PARENB and
            // glibc reports that as EINVAL. The rest of the settings stand.
            tio.c_cflag &= ~(PARENB | PARODD);
            tio.c_iflag &= ~INPCK;
            if (::tcsetattr(slave_, TCSANOW, &tio) != 0)
                throw SystemError("tcsetattr");
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    ~Pty()
    {
        ::close(slave_);
        ::close(master_);
    }
    int master() const { return master_; }
    const std::string& slaveName() const { return slaveName_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
};

// The link comN -> pty slave in the ports folder, removed again if it is still ours.
class PortLink {
public:
    PortLink(const fs::path& folder, int com, const std::string& target)
        : link_(folder / ("com" + std::to_string(com))), target_(target)
    {
        fs::create_directories(folder);
        std::error_code ec;
        if (fs::is_symlink(fs::symlink_status(link_, ec))) {
            // A link left by a stand-in that was killed hard points nowhere; one
            // that leads to a device belongs to someone else.
            if (fs::exists(link_, ec))
                throw std::runtime_error(link_.string() + " already leads to " + fs::read_symlink(link_, ec).string() +
                                         "; choose another number with --com");
            fs::remove(link_);
        } else if (fs::exists(fs::symlink_status(link_, ec))) {
            throw std::runtime_error(link_.string() + " exists and is not a link");
        }
        fs::create_symlink(target_, link_);
    }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;
    ~PortLink()
    {
        std::error_code ec;
        if (fs::read_symlink(link_, ec) == target_)
            fs::remove(link_, ec);
    }

private:
    fs::path link_;
    fs::path target_;
};

void WriteFile(const fs::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

// The USB device description under <root>/bus/usb/devices/0-N:
//   idVendor 10c4, idProduct ea6e, product Sovikan_TR07, and the interface
//   0-N:1.0/tty/<pts!k>/uevent with DEVNAME=pts/k (the pty slave below /dev).
// The tree is built aside and renamed into place, so that a reader never sees
// half of it.
class SysfsEntry {
public:
    SysfsEntry(const std::string& root, int com, const std::string& slaveName)
    {
        if (root.empty()) {
            std::string pattern = (fs::temp_directory_path() / "sovikan-meter-sysfs.XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr)
                throw SystemError("mkdtemp");
            root_ = pattern;
            createdRoot_ = true;
        } else {
            root_ = fs::absolute(root);
            createdRoot_ = fs::create_directories(root_);
        }
        const fs::path devices = root_ / "bus" / "usb" / "devices";
        const std::string name = "0-" + std::to_string(com);
        const std::string devName = fs::path(slaveName).lexically_relative("/dev").string();
        if (devName.empty() || devName.rfind("..", 0) == 0)
            throw std::runtime_error("the pty " + slaveName + " is not below /dev");
        const fs::path staging = root_ / "bus" / "usb" / (".devices-" + std::to_string(::getpid()));
        try {
            Build(staging, devices, name, devName);
        } catch (...) {
            std::error_code ec;
            fs::remove_all(staging, ec);
            if (createdRoot_)
                fs::remove_all(root_, ec);
            throw;
        }
        device_ = devices / name;
    }
    SysfsEntry(const SysfsEntry&) = delete;
    SysfsEntry& operator=(const SysfsEntry&) = delete;
    ~SysfsEntry()
    {
        std::error_code ec;
        fs::remove_all(device_, ec);
        // Folders that are empty now, up to the root if it was made here.
        for (fs::path dir = device_.parent_path(); dir != root_ && dir.has_relative_path(); dir = dir.parent_path())
            if (!fs::remove(dir, ec))
                return;
        if (createdRoot_)
            fs::remove(root_, ec);
    }
    const fs::path& root() const { return root_; }

private:
    static void Build(const fs::path& staging, const fs::path& devices, const std::string& name,
                      const std::string& devName)
    {
        std::string entryName = devName;
        for (char& c : entryName)
            if (c == '/')
                c = '!';
        fs::remove_all(staging);
        const fs::path dev = staging / name;
        fs::create_directories(dev / (name + ":1.0") / "tty" / entryName);
        WriteFile(dev / "idVendor", "10c4\n");
        WriteFile(dev / "idProduct", "ea6e\n");
        WriteFile(dev / "product", "Sovikan_TR07\n");
        WriteFile(dev / "manufacturer", "Silicon Labs\n");
        WriteFile(dev / (name + ":1.0") / "tty" / entryName / "uevent", "DEVNAME=" + devName + "\n");
        if (!fs::exists(devices)) {
            fs::rename(staging, devices);
        } else {
            fs::remove_all(devices / name);
            fs::rename(dev, devices / name);
            fs::remove(staging);
        }
    }

    fs::path root_;
    fs::path device_;
    bool createdRoot_ = false;
};

using Clock = std::chrono::steady_clock;

// Sleeps until the deadline unless a stop signal comes first.
bool SleepUntil(Clock::time_point deadline)
{
    while (!g_stop) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<std::time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        ::nanosleep(&ts, nullptr);  // a signal ends it early; the loop looks at g_stop
    }
    return false;
}

// Sends the bytes at the pace of the meter's line: 38400 baud, 11 bits per
// byte (start, 8 data, parity, stop), or as fast as the pty takes them when
// not `paced`. Gives up when nobody reads for 2 s.
bool SendPaced(int fd, const std::vector<std::uint8_t>& bytes, bool paced)
{
    constexpr std::size_t kChunk = 16;
    const auto start = Clock::now();
    auto lastProgress = start;
    std::size_t sent = 0;
    while (sent < bytes.size() && !g_stop) {
        const std::size_t n = std::min(kChunk, bytes.size() - sent);
        const ssize_t written = ::write(fd, bytes.data() + sent, n);
        if (written < 0) {
            if (errno != EAGAIN && errno != EINTR)
                return false;
            if (Clock::now() - lastProgress > std::chrono::seconds(2))
                return false;
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        sent += static_cast<std::size_t>(written);
        lastProgress = Clock::now();
        if (paced)
            SleepUntil(start + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(sent * device::kLineSecondsPerByte)));
    }
    return sent == bytes.size();
}

void Log(bool enabled, const std::string& line)
{
    if (enabled)
        std::cerr << "sovikan-meter: " << line << std::endl;
}

void Serve(const Pty& pty, meter::Meter& meter, const Options& options)
{
    const bool log = options.log;
    const bool fast = options.fast;
    meter::CommandParser parser;
    auto lastByte = Clock::now();
    while (!g_stop) {
        pollfd p{pty.master(), POLLIN, 0};
        const int ready = ::poll(&p, 1, 200);
        if (ready < 0 && errno != EINTR)
            throw SystemError("poll");
        // The window always sends both bytes of a command at once.
        if (parser.Pending() && Clock::now() - lastByte > std::chrono::seconds(1)) {
            parser.Reset();
            Log(log, "incomplete command dropped");
        }
        if (ready <= 0)
            continue;
        if (!(p.revents & POLLIN)) {
            SleepUntil(Clock::now() + std::chrono::milliseconds(100));
            continue;
        }
        std::uint8_t buf[256];
        const ssize_t got = ::read(pty.master(), buf, sizeof buf);
        for (ssize_t i = 0; i < got && !g_stop; ++i) {
            lastByte = Clock::now();
            const int ignoredBefore = parser.IgnoredBytes();
            const auto command = parser.Feed(buf[i]);
            if (parser.IgnoredBytes() != ignoredBefore)
                Log(log, "ignored byte " + std::to_string(buf[i]));
            if (!command)
                continue;
            std::vector<std::uint8_t> reply;
            switch (command->kind) {
            case meter::Command::Kind::Measure: {
                const std::chrono::duration<double, std::milli> measuring(
                    meter::Meter::MeasuringTimeMs(command->value2));
                if (!fast && !SleepUntil(Clock::now() + std::chrono::duration_cast<Clock::duration>(measuring)))
                    return;
                reply = meter.Measure(command->value1, command->value2);
                Log(log, "measure range " + std::to_string(command->value1) + " multiplier " +
                             std::to_string(command->value2) + ": range " +
                             std::to_string(reply[meter::kReplySize - 6]) + ", " + std::to_string(reply.size()) +
                             " bytes");
                break;
            }
            case meter::Command::Kind::ReadRecord:
                if (options.answerDelayMs > 0 &&
                    !SleepUntil(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double, std::milli>(options.answerDelayMs))))
                    return;
                if (options.shortRecords.count(command->value1))
                    reply = meter.Calibration();
                else if (auto record = meter.StoredRecord(command->value1);
                         record && !options.silentRecords.count(command->value1))
                    reply = *record;
                Log(log, "read record " + std::to_string(command->value1) +
                             (reply.empty() ? ": no reply" : ": " + std::to_string(reply.size()) + " bytes"));
                break;
            case meter::Command::Kind::Check:
                reply = meter.Calibration();
                Log(log, "check: " + std::to_string(reply.size()) + " bytes");
                break;
            }
            if (!reply.empty() && !SendPaced(pty.master(), reply, !fast))
                Log(log, "reply not delivered");
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Options options = ParseOptions(argc, argv);

        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(sig, &action, nullptr);
        std::signal(SIGPIPE, SIG_IGN);

        Pty pty;
        const fs::path ports = options.ports.empty() ? fs::path(serial::PortsFolder()) : fs::path(options.ports);
        PortLink link(ports, options.com, pty.slaveName());
        SysfsEntry sysfs(options.sysfs, options.com, pty.slaveName());
        meter::Meter meter(options.light, std::random_device{}(), options.seed);

        std::cout << "SOVIKAN_SYSFS_ROOT=" << sysfs.root().string() << "\n"
                  << "SOVIKAN_PORTS_DIR=" << fs::absolute(ports).string() << "\n"
                  << "SOVIKAN_METER_COM=" << options.com << "\n"
                  << "SOVIKAN_METER_TTY=" << pty.slaveName() << std::endl;
        Serve(pty, meter, options);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "sovikan-meter: " << e.what() << "\n";
        return 1;
    }
}
