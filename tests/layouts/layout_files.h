// Where the files laid out as real collections have them are made at test
// time (make_real_world_files.sh), and how a caller finds the audio inside
// one.
#ifndef LAYOUT_FILES_H
#define LAYOUT_FILES_H

#include <cstddef>
#include <string>
#include <vector>

std::string layout_path(const std::string &name);

// Where the audio lies for a caller that passes over leading ID3v2 tags
// (stacked ones too) and leaves trailing tags out of the byte count.
struct AudioSpan {
    size_t skip;  // bytes of leading tags
    size_t end;   // where the trailing tags begin
};
AudioSpan audio_span(const std::vector<unsigned char> &file);

#endif
