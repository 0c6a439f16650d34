#pragma once
// The table bench/run prints: one row per figure, dsadmin's time beside a reference
// measured in the same run, their ratio (of the minima and of the medians), and the
// machine's load average (1 minute) when the row was measured: figures taken while others
// compete for the cores are noisier.

#include <string>
#include <vector>

#include "Samples.h"

namespace dsadmin::bench {

class FigureTable {
  public:
    // A figure with a reference: times in seconds.
    void compare(const std::string& figure, const Samples& dsadmin, const std::string& reference,
                 const Samples& referenceTimes);
    // A figure that stands alone (a rate, a growth factor): its text as printed.
    void note(const std::string& figure, const std::string& value);
    // Prints everything so far to stdout and forgets it.
    void print();

  private:
    std::vector<std::vector<std::string>> rows_;
};

// "12.3 ms" / "1.23 s"
std::string FormatSeconds(double s);

}  // namespace dsadmin::bench
