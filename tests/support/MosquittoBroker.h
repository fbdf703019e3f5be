#pragma once

#include "TempDir.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

// Debian's mosquitto broker on a free loopback port, with its own configuration in a temporary
// folder: anonymous, or with one user and password. Stopped when the object goes.
class MosquittoBroker {
public:
    struct Login {
        std::string user, password;
    };

    explicit MosquittoBroker(std::optional<Login> login = std::nullopt, bool tls = false)
        : m_port(FreePort()), m_login(std::move(login)), m_tls(tls) {
        if (m_tls)
            MakeCertificate();
        Start();
    }
    ~MosquittoBroker() { Stop(); }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    int Port() const { return m_port; }
    std::string Url() const {
        return (m_tls ? "mqtts://127.0.0.1:" : "mqtt://127.0.0.1:") + std::to_string(m_port);
    }
    // With TLS: the self-made certificate, which is its own authority.
    std::string CaFile() const { return (m_dir / "broker.crt").string(); }

    // Stops the broker as a crash would (SIGKILL: no goodbye to the clients) or politely.
    void Stop(int signal = SIGTERM) {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, signal);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

    // Starts it again on the same port, with nothing retained.
    void Start() {
        const auto config = m_dir / "mosquitto.conf";
        std::ofstream out(config);
        out << "listener " << m_port << " 127.0.0.1\n"
            << "persistence false\n"
            << "log_type none\n"
            // Started by root, the broker would turn into the user "mosquitto", who cannot read our folder.
            << "user " << ::getpwuid(::geteuid())->pw_name << "\n"
            << "max_queued_messages 0\n";
        if (m_login) {
            const auto passwords = m_dir / "passwords";
            const std::string command = "mosquitto_passwd -c -b '" + passwords.string() + "' '" +
                                        m_login->user + "' '" + m_login->password + "' >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0)
                throw std::runtime_error("mosquitto_passwd failed");
            out << "allow_anonymous false\npassword_file " << passwords.string() << "\n";
        } else
            out << "allow_anonymous true\n";
        if (m_tls)
            out << "certfile " << CaFile() << "\nkeyfile " << (m_dir / "broker.key").string() << "\n";
        out.close();

        m_pid = ::fork();
        if (m_pid == 0) {
            // Quiet: the broker warns on stderr when started as root.
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execl("/usr/sbin/mosquitto", "mosquitto", "-c", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Ready once it takes a connection (it listens within milliseconds).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Accepts()) {
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("mosquitto did not start listening");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    // A self-signed certificate for 127.0.0.1, made with openssl.
    void MakeCertificate() const {
        const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                                    "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
                                    (m_dir / "broker.key").string() + "' -out '" + CaFile() +
                                    "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("openssl could not make a certificate");
    }

    static int FreePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("no free port");
        ::close(fd);
        return ntohs(address.sin_port);
    }

    bool Accepts() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(m_port));
        const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return connected;
    }

    TempDir m_dir;
    int m_port;
    std::optional<Login> m_login;
    bool m_tls = false;
    pid_t m_pid = -1;
};
