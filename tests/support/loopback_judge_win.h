// The tests' anonymity judge: a loopback page that echoes each request azenv
// style ("KEY = value" lines). Straight to it, the client it names is
// kTestOwnAddress, the user's own address as the world would see it; the fake
// proxies answer its GET themselves with the exit address and the headers of
// the kind of proxy they play. One per process, made on first use.
#pragma once

#include <string>

#include "net/check_protocol.h"

namespace vantoip::test {

inline constexpr char kTestOwnAddress[] = "198.51.100.7";
inline constexpr char kJudgePath[] = "/judge";

// The judge's page; throws std::runtime_error when it cannot be served.
const JudgePage& SharedLoopbackJudge();
// True for a request (its head) of the judge's page, in proxy or origin form.
bool IsJudgeRequest(const std::string& head);
// A whole 200 answer echoing `head`: REMOTE_ADDR `client`, the request's
// headers as HTTP_ lines, then `addedLines` ("HTTP_VIA = 1.1 fake\n").
std::string JudgeAnswer(const std::string& head, const std::string& client, const std::string& addedLines = {});

}  // namespace vantoip::test
