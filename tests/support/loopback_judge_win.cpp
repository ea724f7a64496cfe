#include "tests/support/loopback_judge_win.h"

#include <cctype>
#include <memory>

#include "tests/support/loopback_http_server_win.h"

namespace vantoip::test {

const JudgePage& SharedLoopbackJudge() {
  static const auto server = std::make_unique<LoopbackHttpServer>(
      [](const ReceivedRequest& request) { return Response{{JudgeAnswer(request.head, kTestOwnAddress)}}; });
  static const JudgePage page{"127.0.0.1", server->Port(), kJudgePath};
  return page;
}

bool IsJudgeRequest(const std::string& head) {
  const std::string line = head.substr(0, head.find("\r\n"));
  return line.rfind("GET ", 0) == 0 && line.find(std::string(kJudgePath) + "?") != std::string::npos;
}

std::string JudgeAnswer(const std::string& head, const std::string& client, const std::string& addedLines) {
  const std::string line = head.substr(0, head.find("\r\n"));
  const std::size_t target = line.find(' ') + 1;
  std::string echo = "<pre>\nREMOTE_ADDR = " + client + "\nREQUEST_URI = " +
                     line.substr(target, line.rfind(' ') - target) + "\n";
  for (std::size_t at = head.find("\r\n"); at != std::string::npos && at + 2 < head.size();) {
    const std::size_t end = head.find("\r\n", at + 2);
    const std::string header = head.substr(at + 2, end - at - 2);
    at = end;
    const std::size_t colon = header.find(':');
    if (header.empty() || colon == std::string::npos) continue;
    std::string key = "HTTP_";
    for (char c : header.substr(0, colon)) key += c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    echo += key + " = " + header.substr(header.find_first_not_of(' ', colon + 1)) + "\n";
  }
  echo += addedLines + "</pre>\n";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(echo.size()) +
         "\r\nConnection: close\r\n\r\n" + echo;
}

}  // namespace vantoip::test
