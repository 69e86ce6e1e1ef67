// The test's desktop: its programs, its bus, its tones.
#include "desktop.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace mpristest {

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

Child::Child(const std::vector<std::string>& argv, bool readOut, const fs::path& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  std::string sink = log.empty() ? "/dev/null" : log.string();
  if (readOut && pipe2(pipeFds, O_CLOEXEC) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, sink.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, sink.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) close(pipeFds[1]);
  out_ = pipeFds[0];
}

Child::~Child() {
  stop();
  if (out_ >= 0) close(out_);
}

std::string Child::readLine(std::chrono::milliseconds limit) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (out_ >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{out_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char c;
    if (read(out_, &c, 1) != 1 || c == '\n') return line;
    line += c;
  }
  return {};
}

void Child::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  bool ended = waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 1s);
  if (!ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

bool installed(const std::string& program) {
  return std::system(("command -v '" + program + "' >/dev/null 2>&1").c_str()) == 0;
}

std::string mprisScript() {
  for (const char* p : {"/usr/lib/mpv-mpris/mpris.so", "/etc/mpv/scripts/mpris.so"})
    if (access(p, R_OK) == 0) return p;
  return {};
}

PrivateBus::PrivateBus() {
  daemon_ = std::make_unique<Child>(
      std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address"}, true);
  if (daemon_->started()) address_ = daemon_->readLine(5s);
  if (!address_.empty()) setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateBus::~PrivateBus() {
  daemon_.reset();
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

void writeTone(const fs::path& file, int hertz, const std::string& title, const std::string& artist, int seconds) {
  constexpr int kRate = 8000;
  auto u32 = [](std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  auto u16 = [](std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  };
  // The title and artist in a LIST INFO chunk, which mpv reads as tags.
  auto tag = [&](const char* id, std::string text) {
    text += '\0';
    if (text.size() % 2) text += '\0';
    std::string c = id;
    u32(c, static_cast<uint32_t>(text.size()));
    return c + text;
  };
  std::string info = "INFO" + tag("INAM", title) + tag("IART", artist);
  std::string data;
  for (int n = 0; n < kRate * seconds; ++n)
    u16(data, static_cast<uint16_t>(static_cast<int16_t>(6000 * std::sin(2 * M_PI * hertz * n / kRate))));
  std::string body = "WAVEfmt ";
  u32(body, 16);
  u16(body, 1);
  u16(body, 1);
  u32(body, kRate);
  u32(body, kRate * 2);
  u16(body, 2);
  u16(body, 16);
  body += "LIST";
  u32(body, static_cast<uint32_t>(info.size()));
  body += info + "data";
  u32(body, static_cast<uint32_t>(data.size()));
  body += data;
  std::string riff = "RIFF";
  u32(riff, static_cast<uint32_t>(body.size()));
  std::ofstream(file, std::ios::binary) << riff << body;
}

std::string playerctl(const std::string& player, const std::string& words) {
  std::string cmd = "playerctl -p " + player + " " + words + " 2>/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
  }
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

bool onBus(const std::string& name) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address) return false;
  GDBusConnection* c = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  if (!c) return false;
  GVariant* r = g_dbus_connection_call_sync(c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                            "NameHasOwner", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"),
                                            G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
  gboolean has = FALSE;
  if (r) {
    g_variant_get(r, "(b)", &has);
    g_variant_unref(r);
  }
  g_dbus_connection_close_sync(c, nullptr, nullptr);
  g_object_unref(c);
  return has;
}

}  // namespace mpristest
