// Synthetic downloads for the benchmark: the part.met files a client keeps in its temp folder.
#pragma once

#include <ctime>
#include <random>
#include <string>

namespace hw::bench {

// A part.met as the clients write it: a header, one 16-byte hash per 9.28 MB part of the
// download, then tags (file name, sizes, and the gaps still missing). 0.2 to 22 KB.
std::string MakePartMet(std::mt19937& random, int index);

// The name the client gives the part.met of download `index`.
std::string PartName(int index);

// Writes `bytes` to `path`, dated `age` seconds back.
void WritePart(const std::string& path, const std::string& bytes, time_t age);

// How many names in `folder` end in `suffix`.
int CountNamesEndingIn(const std::string& folder, const std::string& suffix);

}  // namespace hw::bench
