#pragma once
// Text templates with variable references and repeat blocks.
//
//   Hello {%NAME%}!                          variable (name compared without regard to case)
//   {%REPEAT%items}<li>{%ITEM%}</li>{%/REPEAT%}   body repeated while prepareRepeat() says so
//
// Unknown references are copied to the output as written, a reference cut off
// by the end of the input is dropped, and a block without its end tag runs to
// the end of the input. Values are written as they are, without escaping.
//
// Subclasses set page-wide values with setValue() before run(), set the values
// of iteration n in prepareRepeat() and may compute values in getValue().
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "lib/misc/stringHelpers.h"

namespace templateProcessor {

class TemplateProcessor {
public:
    TemplateProcessor() = default;
    virtual ~TemplateProcessor() = default;
    TemplateProcessor(const TemplateProcessor&) = default;
    TemplateProcessor& operator=(const TemplateProcessor&) = default;

    // The value of a variable: true and the value when known.
    virtual bool getValue(const std::string& name, std::string& value);
    // Whether iteration n (from 1) of a block with this parameter runs. The
    // base runs every block exactly once.
    virtual bool prepareRepeat(const std::string& parameter, int n);
    // Copies in to out, expanding directives.
    virtual void process(std::istream& in, std::ostream& out);
    // Called after "{%" has been read.
    virtual void directive(std::istream& in, std::ostream& out);
    // Called after a block's "{%REPEAT%parameter}" has been read.
    virtual void repeatBlock(std::istream& in, std::ostream& out, const std::string& parameter);

    // Sets a variable, replacing a value of the same name in any case.
    void setValue(const std::string& name, const std::string& value);
    void run(std::istream& in, std::ostream& out);

protected:
    // Parameters of the running blocks, the innermost last.
    const std::vector<std::string>& repeatParameters() const { return repeatParameters_; }

private:
    std::map<std::string, std::string, LessNoCase> values_;
    std::vector<std::string> repeatParameters_;
};

}  // namespace templateProcessor
