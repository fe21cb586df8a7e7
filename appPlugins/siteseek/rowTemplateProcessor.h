#pragma once
// A template processor whose repeat blocks run once per row of a list: in
// iteration n the current row is n - 1; outside a block there is none. Every
// block lists all rows again.
#include <cstddef>
#include <string>

#include "lib/text/templateProcessor.h"

namespace siteseek {

class RowTemplateProcessor : public templateProcessor::TemplateProcessor {
public:
    explicit RowTemplateProcessor(std::size_t rowCount) : rowCount_(rowCount) {}

    bool prepareRepeat(const std::string&, int n) override {
        if (n < 1 || static_cast<std::size_t>(n) > rowCount_) {
            row_ = -1;
            return false;
        }
        row_ = n - 1;
        return true;
    }

protected:
    // The current row, -1 outside a repeat block.
    int row() const { return row_; }

private:
    std::size_t rowCount_;
    int row_ = -1;
};

}  // namespace siteseek
