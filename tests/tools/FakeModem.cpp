// A modem on a pseudo-terminal for the dial-up tests: prints the terminal's path, answers "OK" to
// every AT command and the given answer to a dial command (ATD...), then waits for the line to
// close. Usage: qv_fake_modem ANSWER [SECONDS]   (ANSWER: "CONNECT 115200", BUSY, "NO CARRIER", ...)
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "uso: qv_fake_modem RISPOSTA [SECONDI]\n");
        return 2;
    }
    const std::string answer = argv[1];
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return 1;
    // Raw terminal on the modem's side: the chat script sees exactly what the modem sends.
    const char* slave = ::ptsname(master);
    const int s = ::open(slave, O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(s, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(s, TCSANOW, &t);
    std::printf("%s\n", slave);
    std::fflush(stdout);
    std::string line;
    const auto say = [&](const std::string& text) {
        const std::string out = "\r\n" + text + "\r\n";
        [[maybe_unused]] const ssize_t n = ::write(master, out.data(), out.size());
    };
    for (int waited = 0; waited < seconds * 10;) {
        pollfd p{master, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready == 0) {
            ++waited;
            continue;
        }
        char c = 0;
        const ssize_t n = ::read(master, &c, 1);
        if (n <= 0) {
            if (n < 0 && errno == EIO) { // nobody holds the line: wait for the next caller
                ::usleep(100000);
                ++waited;
                continue;
            }
            break;
        }
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (line.empty())
            continue;
        [[maybe_unused]] const ssize_t e = ::write(master, (line + "\r").data(), line.size() + 1); // echo
        if (line.rfind("ATD", 0) == 0 || line.rfind("atd", 0) == 0)
            say(answer);
        else if (line.rfind("AT", 0) == 0 || line.rfind("at", 0) == 0)
            say("OK");
        line.clear();
    }
    ::close(s);
    return 0;
}
