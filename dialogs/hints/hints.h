#pragma once
// Hints: short modal explanations or confirming questions, each a row of one
// fixed table, that the user can switch off with "Don't show me this again".
// A switched-off hint shows nothing and answers with its row's stored
// answer. The switches are the keys of section "Disabled Hints" of the
// user's config.ini ("1" off, "0" or missing on).
#include <string>

namespace dialogs {

struct HintButton {
    int answer = 0;
    const char* label = nullptr;  // null: the slot is empty
};

// Three slots, left to right; filled slots are the right-most ones.
struct HintButtonSet {
    HintButton slot[3];
};

extern const HintButtonSet kHintButtonsOk;
extern const HintButtonSet kHintButtonsOkCancel;
extern const HintButtonSet kHintButtonsYesNo;
extern const HintButtonSet kHintButtonsYesNoCancel;

struct HintDef {
    const char* identifier;
    const char* hintText;
    const char* questionText;  // may be empty
    const HintButtonSet* buttons;
    int defaultAnswer;  // Enter's answer; its button is the default one
    int answerWhenOff;  // what a switched-off hint answers
};

// The table, ended by a row whose identifier is null.
extern const HintDef kHintTable[];

// The row whose identifier equals `identifier` without regard to case, or null.
const HintDef* findHint(const std::string& identifier);

// Read and written at each call in the user's config.ini. A known hint is
// keyed by its table spelling, whatever the caller's case.
bool isHintEnabled(const std::string& identifier);
void setHintEnabled(const std::string& identifier, bool enabled);

}  // namespace dialogs
