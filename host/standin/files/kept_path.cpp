#include "standin/files/kept_path.h"

#include <cstring>

namespace host {

[[gnu::noinline]] std::string& NarrowBuffer() {
  thread_local std::string narrow;
  return narrow;
}

// Its place found once for all the uses of a mapping.
[[gnu::noinline]] KeptPath& KeptPath::OfThisThread() {
  thread_local KeptPath kept;
  return kept;
}

void KeptPath::Keep(std::string_view text, std::string_view mapped, size_t first, size_t rootSize,
                    uint64_t generation) {
  m_pathSize = 0;
  if (text.size() > kRoom || mapped.size() > kRoom) return;
  std::memcpy(m_path, text.data(), text.size());
  std::memcpy(m_local, mapped.data(), mapped.size());
  m_pathSize = text.size();
  m_localSize = mapped.size();
  m_first = first;
  m_rootSize = rootSize;
  m_generation = generation;
}

}  // namespace host
