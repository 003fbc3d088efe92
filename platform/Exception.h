// Root of the exceptions the components raise. Messages are UTF-8 text ready to be shown;
// bytes that came from the network are converted with cp1252ToUtf8 before they enter a message.
#pragma once

#include <exception>
#include <string>

namespace orvex {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

} // namespace orvex
