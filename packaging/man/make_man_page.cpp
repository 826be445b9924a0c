// make_man_page: writes the manual page of one of our programs from its --help output.
//
//   make_man_page --program PATH --name NAME --summary TEXT --source TEXT --date DATE
//                 [--see-also REF]... [--commands] --output FILE
//
// With --commands, every command listed under "commands:" in the program's help gets a
// subsection made from "PATH COMMAND --help". The programs run without DISPLAY,
// WAYLAND_DISPLAY and QT_QPA_PLATFORM, so a --help that needs a display breaks the build
// instead of going unnoticed.
#include "man/man_page.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Output {
    int status = -1; // the exit status, -1 when it did not exit normally
    std::string text;
};

// Runs program with args and collects its standard output; standard error goes to ours.
Output run(const std::string& program, const std::vector<std::string>& args) {
    Output result;
    int fds[2];
    if (pipe(fds) != 0) return result;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execv(program.c_str(), argv.data());
        std::fprintf(stderr, "make_man_page: cannot run %s: %s\n", program.c_str(),
                     std::strerror(errno));
        _exit(127);
    }
    close(fds[1]);
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0) {
            result.text.append(buf, size_t(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The help text of `program args... --help`, or exits with a message.
std::string helpText(const std::string& program, std::vector<std::string> args) {
    args.push_back("--help");
    const Output o = run(program, args);
    std::string shown = program;
    for (const auto& a : args) shown += " " + a;
    if (o.status != 0 || o.text.empty()) {
        std::fprintf(stderr, "make_man_page: '%s' %s\n", shown.c_str(),
                     o.status != 0 ? "failed" : "printed nothing");
        std::exit(1);
    }
    return o.text;
}

[[noreturn]] void usage(const char* problem) {
    std::fprintf(stderr,
                 "make_man_page: %s\n"
                 "usage: make_man_page --program PATH --name NAME --summary TEXT --source TEXT\n"
                 "                     --date DATE [--see-also REF]... [--commands] --output "
                 "FILE\n",
                 problem);
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    vx::man::PageInfo info;
    info.section = "1";
    std::string program, output;
    bool commands = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage((a + " needs a value").c_str());
            return argv[++i];
        };
        if (a == "--program") {
            program = value();
        } else if (a == "--name") {
            info.name = value();
        } else if (a == "--summary") {
            info.summary = value();
        } else if (a == "--source") {
            info.source = value();
        } else if (a == "--date") {
            info.date = value();
        } else if (a == "--see-also") {
            info.seeAlso.push_back(value());
        } else if (a == "--commands") {
            commands = true;
        } else if (a == "--output") {
            output = value();
        } else {
            usage(("unknown argument '" + a + "'").c_str());
        }
    }
    if (program.empty() || info.name.empty() || output.empty())
        usage("--program, --name and --output are required");

    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(v);
    const std::string help = helpText(program, {});
    std::vector<vx::man::CommandHelp> commandHelps;
    if (commands) {
        const auto names = vx::man::listedCommands(help);
        if (names.empty()) {
            std::fprintf(stderr, "make_man_page: '%s --help' lists no commands\n", program.c_str());
            return 1;
        }
        for (const auto& name : names) commandHelps.push_back({name, helpText(program, {name})});
    }

    const std::string page = vx::man::renderPage(info, help, commandHelps);
    const std::string temporary = output + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << page;
        if (!out.flush()) {
            std::fprintf(stderr, "make_man_page: cannot write %s\n", temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "make_man_page: cannot write %s: %s\n", output.c_str(),
                     std::strerror(errno));
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
