#pragma once
// The failure type of the Jet writer: a definition or value it cannot store, or a file it
// cannot write. what() is a sentence for the person who gave the input.

#include <stdexcept>
#include <string>

namespace dsadmin::jet {

class JetWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace dsadmin::jet
