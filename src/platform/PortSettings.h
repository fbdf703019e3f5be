#pragma once

// The settings of an open port as read back from the kernel: the termios line settings and what
// the serial driver tells of itself. The settings log prints them.
struct PortSettings {
    enum class Parity { None, Odd, Even };

    struct Line {
        unsigned speed = 0; // bits per second; 0 for one above 115200
        int dataBits = 8;
        Parity parity = Parity::None;
        int stopBits = 1;
        bool rtsCtsFlow = false;  // CRTSCTS
        bool xonXoffFlow = false; // IXON or IXOFF
    } line;

    // From TIOCGSERIAL, TIOCOUTQ and TIOCINQ; zeros where the driver does not answer.
    struct Driver {
        int transmitFifoSize = 0;
        unsigned baudBase = 0;
        unsigned uartType = 0;
        unsigned flags = 0; // ASYNC_*
        int bytesToSend = 0;
        int bytesReceived = 0;
    } driver;
};
