#pragma once

class PopClient;

// The one way to wait for a PopClient operation to end: yield to the event
// loop, sleeping until the next event arrives, while the client is busy. The
// client's own time-outs end every operation, so the engine waits without a
// limit of its own.
void WaitUntilIdle(const PopClient& client);

// The same with an overall limit, for tests and tools that must not hang on a
// stuck client: true once the client is idle, false when `timeoutMs` passed
// first.
bool WaitUntilIdle(const PopClient& client, int timeoutMs);

// The two states a caller reads once the client is idle: logged on with no
// operation running, and no connection left at all.
bool LoggedOnAndIdle(const PopClient& client);
bool ConnectionGone(const PopClient& client);
