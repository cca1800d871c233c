// printersim: plays the built-in label printer on a pseudo-terminal, so that the panel,
// its tests and the demo have a real serial peer.
#include "framereader.h"
#include "printermodel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char Usage[] =
    "Usage: printersim [--link PATH] [--log FILE] [--no-answer] [--delay MS] [--garbage]\n"
    "                  [--short] [--long] [--wrong-code] [--help]\n"
    "\n"
    "Plays the built-in label printer on a pseudo-terminal. The path of the terminal end\n"
    "to open as the printer's serial port is printed on the first line of standard output.\n"
    "Runs until SIGTERM or SIGINT.\n"
    "\n"
    "  --link PATH   also make a symbolic link at PATH to the terminal end (replacing an\n"
    "                earlier link there); it is removed at exit\n"
    "  --log FILE    append every frame received to FILE, one line each, as lower-case\n"
    "                hex bytes separated by spaces (\"aa f2 01 00\")\n"
    "  --no-answer   never answer\n"
    "  --delay MS    answer MS milliseconds late\n"
    "  --garbage     answer 1 to 16 random bytes instead of the real answer, never\n"
    "                starting as any real answer to that command could\n"
    "  --short       answer only the first byte of each answer\n"
    "  --long        answer one byte more than the real answer (a trailing 00)\n"
    "  --wrong-code  answer each command as if it were the next one in the ring\n"
    "                e2 fb e1 fd f4 f6 f2 fa f7 f8 f9 f3 f5 fe fc f1 (and e2 again),\n"
    "                with the same parameters; the command itself still takes effect\n"
    "  --help        show this text and exit\n";

// A frame left unfinished this long is given up.
constexpr int StalledFrameMs = 200;

using Clock = std::chrono::steady_clock;

struct Options
{
    std::string link;
    std::string log;
    bool noAnswer = false;
    long delayMs = 0;
    bool garbage = false;
    bool cutShort = false;
    bool tooLong = false;
    bool wrongCode = false;
};

struct Pending
{
    Clock::time_point due;
    Bytes bytes;
};

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

// Returns 0 to run, 1 when --help was asked, -1 on a bad command line.
int parseOptions(int argc, char **argv, Options *options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string *out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return !out->empty();
        };
        std::string text;
        if (arg == "--help") {
            return 1;
        } else if (arg == "--link") {
            if (!value(&options->link))
                return -1;
        } else if (arg == "--log") {
            if (!value(&options->log))
                return -1;
        } else if (arg == "--no-answer") {
            options->noAnswer = true;
        } else if (arg == "--delay") {
            if (!value(&text))
                return -1;
            char *end = nullptr;
            errno = 0;
            options->delayMs = std::strtol(text.c_str(), &end, 10);
            if (errno != 0 || *end != '\0' || options->delayMs < 0)
                return -1;
        } else if (arg == "--garbage") {
            options->garbage = true;
        } else if (arg == "--short") {
            options->cutShort = true;
        } else if (arg == "--long") {
            options->tooLong = true;
        } else if (arg == "--wrong-code") {
            options->wrongCode = true;
        } else {
            return -1;
        }
    }
    return 0;
}

std::string hexLine(const Bytes &frame)
{
    std::string line;
    char byte[4];
    for (const unsigned char b : frame) {
        std::snprintf(byte, sizeof byte, "%02x", b);
        if (!line.empty())
            line += ' ';
        line += byte;
    }
    return line;
}

// --wrong-code answers each command as the printer answers the code after it here. Neighbours
// never share the shape of their answers, not even the two yes/no queries e2 and e1.
const unsigned char CodeRing[] = {0xe2, 0xfb, 0xe1, 0xfd, 0xf4, 0xf6, 0xf2, 0xfa,
                                  0xf7, 0xf8, 0xf9, 0xf3, 0xf5, 0xfe, 0xfc, 0xf1};

// The same frame with its code replaced by the next one in the ring; empty for other codes.
Bytes nextCodeFrame(const Bytes &frame)
{
    const std::size_t count = sizeof CodeRing;
    for (std::size_t i = 0; i < count; ++i) {
        if (frame[1] == CodeRing[i]) {
            Bytes other = frame;
            other[1] = CodeRing[(i + 1) % count];
            return other;
        }
    }
    return {};
}

// Whether a real answer to the command with this code could start with this byte: the code's
// echo, the yes/no bytes, or the printable first character of the version.
bool mayStartAnswer(unsigned char byte, unsigned char code)
{
    return byte == code || byte == 0xc2 || byte == 0xc0 || (byte >= 0x20 && byte < 0x7f);
}

int millisecondsUntil(Clock::time_point when)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
    return left.count() < 0 ? 0 : int(left.count()) + 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    const int parsed = parseOptions(argc, argv, &options);
    if (parsed == 1) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (parsed < 0) {
        std::fputs(Usage, stderr);
        return 2;
    }

    FILE *log = nullptr;
    if (!options.log.empty()) {
        log = std::fopen(options.log.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "printersim: %s: %s\n", options.log.c_str(), std::strerror(errno));
            return 1;
        }
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "printersim: no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string slavePath = ptsname(master);
    // Held open for the whole run: without it the terminal hangs up whenever the panel
    // closes its port, and the next open would meet a dead line.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    termios tio;
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        std::fprintf(stderr, "printersim: %s: %s\n", slavePath.c_str(), std::strerror(errno));
        return 1;
    }
    // A printer line carries bytes, not text: no echo, no line editing, no CR/LF mapping.
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!options.link.empty()) {
        struct stat st;
        if (lstat(options.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(options.link.c_str());
        if (symlink(slavePath.c_str(), options.link.c_str()) != 0) {
            std::fprintf(stderr, "printersim: %s: %s\n", options.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // Signals arrive only inside ppoll, so a stop request cannot slip in before it sleeps.
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    sigdelset(&waiting, SIGTERM);
    sigdelset(&waiting, SIGINT);

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    PrinterModel model;
    FrameReader reader;
    std::deque<Pending> answers;
    std::mt19937 random{std::random_device{}()};
    Clock::time_point lastByte = Clock::now();

    // Every frame is logged; only complete ones are answered.
    auto received = [&](const Bytes &frame, bool complete) {
        if (log) {
            std::fprintf(log, "%s\n", hexLine(frame).c_str());
            std::fflush(log);
        }
        if (!complete || frame.front() != 0xaa)
            return;
        Bytes answer;
        if (options.wrongCode && frame.size() >= 4) {
            // Answered from a copy, so only the command actually sent changes the settings.
            PrinterModel other = model;
            answer = other.answer(nextCodeFrame(frame));
            model.answer(frame);
        } else {
            answer = model.answer(frame);
        }
        if (options.noAnswer || answer.empty())
            return;
        if (options.garbage) {
            answer.resize(1 + random() % 16);
            for (unsigned char &b : answer)
                b = static_cast<unsigned char>(random());
            while (mayStartAnswer(answer.front(), frame[1]))
                answer.front() = static_cast<unsigned char>(random());
        }
        if (options.cutShort)
            answer.resize(1);
        if (options.tooLong)
            answer.push_back(0x00);
        answers.push_back({Clock::now() + std::chrono::milliseconds(options.delayMs), answer});
    };

    while (!stopRequested) {
        while (!answers.empty() && answers.front().due <= Clock::now()) {
            const Bytes &bytes = answers.front().bytes;
            // A full terminal buffer means nobody reads the line: the answer is lost, as on a wire.
            if (write(master, bytes.data(), bytes.size()) < 0 && errno != EAGAIN)
                std::fprintf(stderr, "printersim: write: %s\n", std::strerror(errno));
            answers.pop_front();
        }

        int timeoutMs = -1;
        if (!answers.empty())
            timeoutMs = millisecondsUntil(answers.front().due);
        if (reader.hasPending()) {
            const int stall =
                millisecondsUntil(lastByte + std::chrono::milliseconds(StalledFrameMs));
            timeoutMs = timeoutMs < 0 ? stall : std::min(timeoutMs, stall);
        }
        timespec timeout;
        timeout.tv_sec = timeoutMs / 1000;
        timeout.tv_nsec = long(timeoutMs % 1000) * 1000000L;
        pollfd pfd = {master, POLLIN, 0};
        const int ready = ppoll(&pfd, 1, timeoutMs < 0 ? nullptr : &timeout, &waiting);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "printersim: poll: %s\n", std::strerror(errno));
            break;
        }
        if (ready > 0 && (pfd.revents & POLLIN)) {
            unsigned char buffer[256];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                lastByte = Clock::now();
                for (const Bytes &frame : reader.feed(Bytes(buffer, buffer + n)))
                    received(frame, true);
            }
        }
        if (reader.hasPending() &&
            Clock::now() - lastByte >= std::chrono::milliseconds(StalledFrameMs))
            received(reader.takePending(), false);
    }

    if (!options.link.empty())
        unlink(options.link.c_str());
    if (log)
        std::fclose(log);
    close(slave);
    close(master);
    return 0;
}
