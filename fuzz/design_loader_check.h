// The check of the stand-in's design loader, shared by its fuzz target and the regular test
// that replays the corpus: the one-pass reader and the document reader judge a text alike,
// and a design that loads, once written, loads again as the same design.
#pragma once

#include <string>
#include <string_view>

#include "standin/design/design_loader.h"
#include "standin/design/design_writer.h"

namespace design_check {

// Empty when the text passes; otherwise what went wrong.
inline std::string designProblem(std::string_view text) {
  const std::string source(text);
  std::string error;
  auto design = host::ParseDesign(source, "fuzz.dgn", &error);
  std::string referenceError;
  auto reference = host::ParseDesignDocument(source, "fuzz.dgn", &referenceError);
  if ((design == nullptr) != (reference == nullptr)) {
    return design ? "only the document reader refuses it: " + referenceError
                  : "only the one-pass reader refuses it: " + error;
  }
  if (!design) {
    if (error != referenceError)
      return "the readers' messages differ: " + error + " | " + referenceError;
    return std::string();
  }
  const std::string written = host::DesignToText(*design);
  if (host::DesignToText(*reference) != written) return "the readers read different designs";
  std::string rereadError;
  auto reread = host::ParseDesign(written, "written.dgn", &rereadError);
  if (!reread) return "the written design doesn't load: " + rereadError + "\n" + written;
  if (host::DesignToText(*reread) != written) return "the written design loads as another";
  return std::string();
}

}  // namespace design_check
