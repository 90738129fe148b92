// The viewer under a real window manager: a private X server (Xvfb) runs
// openbox, which frames windows with borders and a title bar and closes them
// on its close key, as a user's desktop does.
//
// - Position: the viewer is started and closed five times. Left and Top are
//   the frame's corner: every run must find its window where the previous run
//   left it, and store the same corner again. (Moving the client area to the
//   stored corner let the window creep up by its title bar at every start.)
// - The folder prompt's title bar reads exactly its caption (the toolkit
//   appended the application's name to it).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "sampledata/datafolder.h"
#include "tempfolder.h"
#include "viewer/inifile.h"

namespace wbx::testing {
namespace {

using namespace std::chrono_literals;

bool HaveCommand(const std::string& name) {
    return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its standard output, and false when it failed.
bool Capture(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = ::pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A child process started from an argument list with extra environment
// entries; killed when still running at destruction.
class Child {
public:
    Child(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
          int keepFd = -1) {
        pid_ = ::fork();
        if (pid_ != 0) return;
        for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd) ::close(fd);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGTERM);
            if (!Wait(5s)) {
                ::kill(pid_, SIGKILL);
                Wait(5s);
            }
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    // Waits up to timeout for the process to end; true when it has.
    bool Wait(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!exited_) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_ || done < 0) {
                exited_ = true;
                status_ = status;
                break;
            }
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }
    bool ExitedNormally() const { return exited_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

// Xvfb on a display number of its own choosing, with openbox running on it.
class WindowManagerSession {
public:
    explicit WindowManagerSession(const std::string& folder) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        server_ = std::make_unique<Child>(
            std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     "1280x1024x24", "-nolisten", "tcp"},
            std::vector<std::string>{}, fds[1]);
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) return;
        display_ = ":" + number;
        const std::string ready = folder + "/openbox-ready";
        manager_ = std::make_unique<Child>(
            std::vector<std::string>{"openbox", "--sm-disable", "--startup", "touch " + ready},
            std::vector<std::string>{"DISPLAY=" + display_, "HOME=" + folder});
        for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i) std::this_thread::sleep_for(20ms);
        running_ = std::filesystem::exists(ready);
    }
    ~WindowManagerSession() {
        manager_.reset();
        server_.reset();
    }

    bool Running() const { return running_; }
    const std::string& Display() const { return display_; }
    // A shell command run with this session's display.
    std::string OnDisplay(const std::string& command) const { return "DISPLAY=" + display_ + " " + command; }

private:
    std::unique_ptr<Child> server_;
    std::unique_ptr<Child> manager_;
    std::string display_;
    bool running_ = false;
};

// A viewer run in the session with the test's folder as its home.
std::unique_ptr<Child> StartViewer(const WindowManagerSession& session, const std::string& viewer,
                                   const std::string& home, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{viewer};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<Child>(
        argv, std::vector<std::string>{"DISPLAY=" + session.Display(), "QT_QPA_PLATFORM=xcb", "HOME=" + home,
                                       "XDG_RUNTIME_DIR=" + home, "ASAN_OPTIONS=detect_leaks=0"});
}

// The visible windows of a process, each as "id name" (the name as the title bar shows it).
std::vector<std::pair<std::string, std::string>> VisibleWindows(const WindowManagerSession& session,
                                                                pid_t pid) {
    std::vector<std::pair<std::string, std::string>> windows;
    std::string ids;
    Capture(session.OnDisplay("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"),
            ids);
    size_t start = 0;
    while (start < ids.size()) {
        size_t end = ids.find('\n', start);
        if (end == std::string::npos) end = ids.size();
        const std::string id = ids.substr(start, end - start);
        start = end + 1;
        if (id.empty()) continue;
        std::string name;
        Capture(session.OnDisplay("xdotool getwindowname " + id), name);
        if (!name.empty() && name.back() == '\n') name.pop_back();
        windows.emplace_back(id, name);
    }
    return windows;
}

struct TCycle {
    std::string WindowPosition;  // as xdotool reports it once the window has settled
    int Left = 0;
    int Top = 0;
};

TEST(WindowPosition, RestartsUnderAWindowManagerKeepTheFramesCorner) {
    for (const char* command : {"Xvfb", "openbox", "xdotool"})
        if (!HaveCommand(command)) GTEST_SKIP() << command << " is not installed";
    const TempFolder folder;
    const std::string root = folder / "run";
    std::filesystem::create_directories(root);
    sampledata::GenerateDataFolder(root + "/data");
    // The viewer's settings file lies beside the executable: a copy of it in the test's folder.
    const std::string viewer = root + "/wardrobix";
    std::filesystem::copy_file(WBX_VIEWER_EXECUTABLE, viewer);
    const std::string settings = root + "/wardrobix.ini";
    {
        TIniFile ini(settings);
        ini.WriteInteger("app", "left", 300);
        ini.WriteInteger("app", "top", 15);
    }

    WindowManagerSession session(root);
    ASSERT_TRUE(session.Running()) << "Xvfb with openbox did not start";

    std::vector<TCycle> cycles;
    for (int cycle = 0; cycle < 5; ++cycle) {
        SCOPED_TRACE(cycle);
        const std::unique_ptr<Child> viewerRun =
            StartViewer(session, viewer, root, {"--data", root + "/data"});
        Child& run = *viewerRun;
        std::string window;
        ASSERT_TRUE(Capture(session.OnDisplay("timeout 30 xdotool search --sync --onlyvisible --pid " +
                                              std::to_string(run.Pid()) + " 2>/dev/null | head -n 1"),
                            window) &&
                    !window.empty())
            << "no window appeared";
        window.erase(window.find_last_not_of("\r\n") + 1);
        // Settled: the same position twice a little apart.
        TCycle result;
        std::string previous;
        for (int i = 0; i < 50; ++i) {
            std::this_thread::sleep_for(100ms);
            Capture(session.OnDisplay("xdotool getwindowgeometry " + window + " | grep Position"),
                    result.WindowPosition);
            if (!result.WindowPosition.empty() && result.WindowPosition == previous) break;
            previous = result.WindowPosition;
        }
        // Closed through the window manager (its close key), as a user does.
        // On a busy machine the window manager may not have given the window
        // the focus when the key arrives, and the key goes nowhere: a user
        // would press it again, and so does the test, up to three times.
        bool closed = false;
        for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
            std::string ignored;
            Capture(
                session.OnDisplay("xdotool windowactivate --sync " + window + " key --clearmodifiers alt+F4"),
                ignored);
            closed = run.Wait(10s);
        }
        ASSERT_TRUE(closed) << "the viewer did not close";
        EXPECT_TRUE(run.ExitedNormally());
        const TIniFile ini(settings);
        result.Left = ini.ReadInteger("app", "left", -1);
        result.Top = ini.ReadInteger("app", "top", -1);
        cycles.push_back(result);
    }
    for (size_t i = 0; i < cycles.size(); ++i) {
        EXPECT_EQ(cycles[i].Left, 300) << "run " << i;
        EXPECT_EQ(cycles[i].Top, 15) << "run " << i;
        EXPECT_EQ(cycles[i].WindowPosition, cycles[0].WindowPosition) << "run " << i;
    }
}

TEST(FolderPrompt, TheTitleBarShowsTheCaptionAlone) {
    for (const char* command : {"Xvfb", "openbox", "xdotool"})
        if (!HaveCommand(command)) GTEST_SKIP() << command << " is not installed";
    const TempFolder folder;
    const std::string root = folder / "run";
    std::filesystem::create_directories(root);
    const std::string viewer = root + "/wardrobix";
    std::filesystem::copy_file(WBX_VIEWER_EXECUTABLE,
                               viewer);  // no settings file beside it: no stored folder
    WindowManagerSession session(root);
    ASSERT_TRUE(session.Running()) << "Xvfb with openbox did not start";

    const std::unique_ptr<Child> run = StartViewer(session, viewer, root, {});
    std::string prompt, title;
    for (int i = 0; i < 300 && prompt.empty(); ++i) {
        std::this_thread::sleep_for(100ms);
        for (const auto& [id, name] : VisibleWindows(session, run->Pid()))
            if (name.find("DAT") != std::string::npos) std::tie(prompt, title) = std::make_pair(id, name);
    }
    ASSERT_FALSE(prompt.empty()) << "no folder prompt appeared";
    EXPECT_EQ(title, "DATを展開したパスを指定:");
    // Cancelled: the viewer ends quietly.
    std::string ignored;
    Capture(session.OnDisplay("xdotool windowactivate --sync " + prompt + " key --clearmodifiers Escape"),
            ignored);
    ASSERT_TRUE(run->Wait(20s)) << "the viewer did not end after the prompt was cancelled";
    EXPECT_TRUE(run->ExitedNormally());
}

}  // namespace
}  // namespace wbx::testing
