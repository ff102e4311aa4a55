// The velumark-lsp program itself: standard output carries protocol messages and nothing
// else, and the exit status follows the protocol's shutdown rules.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "host/lsp/JsonRpc.h"

extern char** environ;

namespace vmk::testing {
namespace {

using lsp::json;

struct ServerRun {
  int status = -1;
  std::string output;
};

// Runs the server with `input` on its standard input (closed after it), in a private home.
ServerRun runServer(const std::string& input, const TempFolder& home) {
  int in[2], out[2];
  EXPECT_EQ(::pipe(in), 0);
  EXPECT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  const std::string program = std::string(VELUMARK_BINARY_DIR) + "/bin/velumark-lsp";
  std::vector<std::string> env = {"HOME=" + home.path(), "XDG_CONFIG_HOME=" + home.file("config"),
                                  "XDG_DATA_HOME=" + home.file("data"), "PATH=/usr/bin:/bin"};
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--stdio"), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  // The input is small enough for the pipe; the output is read after it is written.
  EXPECT_EQ(::write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(in[1]);
  ServerRun run;
  char buffer[4096];
  ssize_t count;
  while ((count = ::read(out[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, count);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<json> messagesOf(const std::string& output, std::string* leftover) {
  lsp::FrameReader reader;
  reader.feed(output);
  std::vector<json> messages;
  while (std::optional<lsp::Frame> frame = reader.next()) {
    if (frame->headerError) {
      *leftover += *frame->headerError;
      continue;
    }
    messages.push_back(json::parse(frame->body));
  }
  if (reader.pending() > 0) *leftover += "bytes after the last frame";
  return messages;
}

std::string framed(const json& message) {
  return lsp::frameMessage(message);
}

TEST(VelumarkLspProgram, OnlyProtocolOnStandardOutputAndExitZeroAfterShutdown) {
  TempFolder home;
  const std::string input =
      framed(lsp::makeRequest(1, "initialize", {{"capabilities", json::object()}})) +
      framed(lsp::makeNotification("initialized", json::object())) +
      framed(lsp::makeNotification("textDocument/didOpen",
                                   {{"textDocument",
                                     {{"uri", "file:///nowhere/a.html"},
                                      {"languageId", "html"},
                                      {"version", 1},
                                      {"text", "<HTML><BODY><P>a & b</BODY></HTML>"}}}})) +
      "Content-Length: 3\r\n\r\n{x}" + framed(lsp::makeRequest(2, "shutdown", nullptr)) +
      framed(lsp::makeNotification("exit", nullptr));
  const ServerRun run = runServer(input, home);
  EXPECT_EQ(run.status, 0);
  std::string leftover;
  const std::vector<json> messages = messagesOf(run.output, &leftover);
  EXPECT_EQ(leftover, "");
  std::vector<std::string> kinds;
  for (const json& m : messages) {
    kinds.push_back(m.contains("method")  ? m["method"].get<std::string>()
                    : m.contains("error") ? "error " + std::to_string(m["error"]["code"].get<int>())
                                          : "result " + m["id"].dump());
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"result 1", "textDocument/publishDiagnostics",
                                             "error -32700", "result 2"}));
}

TEST(VelumarkLspProgram, EndOfInputWithoutShutdownExitsWithOne) {
  TempFolder home;
  const ServerRun run = runServer(
      framed(lsp::makeRequest(1, "initialize", {{"capabilities", json::object()}})), home);
  EXPECT_EQ(run.status, 1);
  std::string leftover;
  EXPECT_EQ(messagesOf(run.output, &leftover).size(), 1u);
  EXPECT_EQ(leftover, "");
}

}  // namespace
}  // namespace vmk::testing
