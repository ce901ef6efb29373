// Starts a program and prints how many milliseconds pass until it maps a top-level window of a
// given size on the X display named by $DISPLAY; then ends the program.
//   plindor_map_timer WIDTH HEIGHT PROGRAM [ARGUMENTS...]
// The watch is on the root window, so the display must run no window manager: one would
// reparent the window and take the notification.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_set>

namespace plindor::bench {
namespace {

struct ConnectionCloser {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }
};
using Event = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

// The started program; ended and reaped when the timer is done with it.
class Child final {
 public:
  explicit Child(char** argv) : pid_(fork()) {
    if (pid_ < 0) throw std::runtime_error("cannot start a process");
    if (pid_ == 0) {
      execvp(argv[0], argv);
      std::perror(argv[0]);
      _exit(127);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (reaped_) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }

  // True once the program has ended on its own, which means it will map nothing.
  bool Ended() {
    int status = 0;
    reaped_ = waitpid(pid_, &status, WNOHANG) == pid_;
    return reaped_;
  }

 private:
  pid_t pid_;
  bool reaped_ = false;
};

double TimeToMap(int width, int height, char** argv) {
  Connection connection(xcb_connect(nullptr, nullptr));
  if (xcb_connection_has_error(connection.get())) {
    throw std::runtime_error("cannot open the X display named by $DISPLAY");
  }
  xcb_connection_t* x = connection.get();
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_generic_error_t* error =
      xcb_request_check(x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK, &mask));
  if (error != nullptr) {
    std::free(error);
    throw std::runtime_error("cannot watch the root window (is a window manager running?)");
  }

  const auto start = std::chrono::steady_clock::now();
  Child child(argv);
  std::unordered_set<xcb_window_t> sized;  // top-level windows created at the wanted size
  while (true) {
    Event event(xcb_poll_for_event(x));
    if (!event) {
      if (xcb_connection_has_error(x)) throw std::runtime_error("lost the X display");
      if (child.Ended()) throw std::runtime_error("the program ended without a window");
      usleep(200);
      continue;
    }
    const auto type = event->response_type & 0x7f;
    if (type == XCB_CREATE_NOTIFY) {
      const auto& created = *reinterpret_cast<xcb_create_notify_event_t*>(event.get());
      if (created.width == width && created.height == height) sized.insert(created.window);
    } else if (type == XCB_CONFIGURE_NOTIFY) {
      const auto& configured = *reinterpret_cast<xcb_configure_notify_event_t*>(event.get());
      if (configured.width == width && configured.height == height) {
        sized.insert(configured.window);
      } else {
        sized.erase(configured.window);
      }
    } else if (type == XCB_MAP_NOTIFY) {
      const auto& mapped = *reinterpret_cast<xcb_map_notify_event_t*>(event.get());
      if (sized.contains(mapped.window)) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
      }
    }
  }
}

}  // namespace
}  // namespace plindor::bench

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s WIDTH HEIGHT PROGRAM [ARGUMENTS...]\n", argv[0]);
    return 2;
  }
  try {
    const double ms = plindor::bench::TimeToMap(std::stoi(argv[1]), std::stoi(argv[2]), argv + 3);
    std::printf("%.1f\n", ms);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
}
