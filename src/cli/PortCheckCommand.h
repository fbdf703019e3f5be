#pragma once

class CliSession;

// Synchronises with the station on the session's port, measures the adapter (a line change, a
// status read, how late a change shows) and prints the figures with a one-line verdict: whether
// the adapter can carry the bus, and how long a whole and a routine import take on it.
int RunPortCheck(CliSession& session);
