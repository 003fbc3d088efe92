// nginx started with its own configuration in a temporary prefix on a free loopback port: a real
// peer for the HTTP client in tests and benchmarks. It never touches the system's nginx setup.
// Files under Root() are served; /ssi/ serves the same files through server-side includes, which
// drops the length, so HTTP/1.1 replies come chunked and HTTP/1.0 replies end with the close.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace orvex::test {

class NginxServer {
public:
    static constexpr const char* kBinary = "/usr/sbin/nginx";
    static bool Available() { return ::access(kBinary, X_OK) == 0; }

    // extraLocations: location blocks added to the server.
    explicit NginxServer(const std::string& extraLocations = "") {
        char dirTemplate[] = "/tmp/orvex-nginx-XXXXXX";
        if (!::mkdtemp(dirTemplate)) throw std::runtime_error("mkdtemp");
        prefix_ = dirTemplate;
        std::filesystem::create_directories(prefix_ / "html");
        std::filesystem::create_directories(prefix_ / "tmp");
        for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
            port_ = FreePort();
            WriteConfig(extraLocations);
            Start();
        }
        if (pid_ <= 0) throw std::runtime_error("nginx did not start: " + ErrorLog());
    }
    ~NginxServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(prefix_, ignored);
    }
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::filesystem::path Root() const { return prefix_ / "html"; }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(Root() / name, std::ios::binary) << bytes;
    }
    std::string ErrorLog() const {
        std::ifstream in(prefix_ / "error.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    static int FreePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(s);
        return ntohs(a.sin_port);
    }

    void WriteConfig(const std::string& extraLocations) const {
        const std::string p = prefix_.string();
        std::ofstream conf(prefix_ / "nginx.conf");
        conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
             << "pid " << p << "/nginx.pid;\nerror_log " << p << "/error.log warn;\n"
             << "events { worker_connections 256; }\n"
             << "http {\n  access_log off;\n  default_type application/octet-stream;\n"
             << "  client_body_temp_path " << p << "/tmp/body;\n  proxy_temp_path " << p << "/tmp/proxy;\n"
             << "  fastcgi_temp_path " << p << "/tmp/fastcgi;\n  uwsgi_temp_path " << p << "/tmp/uwsgi;\n"
             << "  scgi_temp_path " << p << "/tmp/scgi;\n  keepalive_requests 100000;\n  sendfile on;\n"
             << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    root " << p << "/html;\n"
             << "    location /ssi/ { alias " << p << "/html/; ssi on; ssi_types *; }\n"
             << extraLocations << "  }\n}\n";
    }

    void Start() {
        const std::string p = prefix_.string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(kBinary, kBinary, "-p", p.c_str(), "-e", (p + "/error.log").c_str(), "-c",
                    (p + "/nginx.conf").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Ready when the port answers; gone when nginx gave up (say, the port was taken meanwhile).
        for (int i = 0; i < 500; ++i) {
            int status;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(static_cast<uint16_t>(port_));
            const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            ::close(s);
            if (up) return;
            ::usleep(10000);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::filesystem::path prefix_;
    int port_ = 0;
    pid_t pid_ = -1;
};

} // namespace orvex::test
