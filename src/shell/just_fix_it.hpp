#pragma once

namespace modrake {

struct Session;

// The pipeline: every active plugin cleaned in place with its time kept, the
// headers of the untouched ones brought up to date, then the three merged
// plugins built and activated, all in one log. The option flags are set for
// the run and follow the check boxes again afterwards, also after an error.
void JustFixIt(Session& session);

// The question the pipeline is started with.
extern const char* const kJustFixItQuestion;

}  // namespace modrake
