#include "tortool/png_read.h"

#include <cstdlib>

#include "textio/checked.h"

namespace tortool::testing {
namespace {

/// Reads a deflate stream bit by bit, least significant bit first.
class BitReader {
 public:
  explicit BitReader(std::string_view data) : data_(data) {}

  bool Bits(int n, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (pos_ >= data_.size()) return false;
      const auto byte = static_cast<unsigned char>(data_[pos_]);
      v |= static_cast<uint32_t>((byte >> bit_) & 1u) << i;
      if (++bit_ == 8) {
        bit_ = 0;
        ++pos_;
      }
    }
    *value = v;
    return true;
  }

  void AlignToByte() {
    if (bit_ != 0) {
      bit_ = 0;
      ++pos_;
    }
  }

  bool Byte(uint8_t* value) {
    if (pos_ >= data_.size()) return false;
    *value = static_cast<uint8_t>(data_[pos_++]);
    return true;
  }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
  int bit_ = 0;
};

/// A canonical Huffman code: how many codes of each length, and the symbols
/// in code order.
struct Huffman {
  std::array<uint16_t, 16> counts{};
  std::vector<uint16_t> symbols;

  bool Build(const std::vector<uint8_t>& lengths) {
    counts.fill(0);
    for (const uint8_t n : lengths) ++textio::At(counts, n + 1);
    counts[0] = 0;
    std::array<uint16_t, 16> offsets{};
    for (std::size_t n = 1; n < 16; ++n) {
      offsets[n] = static_cast<uint16_t>(offsets[n - 1] + counts[n - 1]);
    }
    symbols.assign(lengths.size(), 0);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] != 0) symbols[offsets[lengths[s]]++] = static_cast<uint16_t>(s);
    }
    return true;
  }

  bool Decode(BitReader* in, uint16_t* symbol) const {
    int code = 0;
    int first = 0;
    int index = 0;
    for (std::size_t n = 1; n < 16; ++n) {
      uint32_t bit = 0;
      if (!in->Bits(1, &bit)) return false;
      code |= static_cast<int>(bit);
      const int count = counts[n];
      if (code - count < first) {
        const auto at = static_cast<std::size_t>(index + (code - first));
        if (at >= symbols.size()) return false;
        *symbol = symbols[at];
        return true;
      }
      index += count;
      first += count;
      first <<= 1;
      code <<= 1;
    }
    return false;
  }
};

constexpr std::array<uint16_t, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                               15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                               67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                               2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistBase{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistExtra{0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool InflateBlock(BitReader* in, const Huffman& lit, const Huffman& dist,
                  std::vector<uint8_t>* out) {
  for (;;) {
    uint16_t symbol = 0;
    if (!lit.Decode(in, &symbol)) return false;
    if (symbol < 256) {
      out->push_back(static_cast<uint8_t>(symbol));
      continue;
    }
    if (symbol == 256) return true;
    const std::size_t li = symbol - 257u;
    if (li >= kLengthBase.size()) return false;
    uint32_t extra = 0;
    if (!in->Bits(kLengthExtra[li], &extra)) return false;
    const std::size_t length = kLengthBase[li] + extra;
    uint16_t ds = 0;
    if (!dist.Decode(in, &ds) || ds >= kDistBase.size()) return false;
    if (!in->Bits(kDistExtra[ds], &extra)) return false;
    const std::size_t distance = kDistBase[ds] + extra;
    if (distance > out->size()) return false;
    const std::size_t from = out->size() - distance;
    for (std::size_t i = 0; i < length; ++i) out->push_back((*out)[from + i]);
  }
}

uint32_t BigEndian(std::string_view b, std::size_t at) {
  uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

const std::array<uint8_t, 4>& Image::At(int32_t x, int32_t y) const {
  return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)];
}

bool Inflate(std::string_view zlib, std::vector<uint8_t>* out) {
  if (zlib.size() < 2 || (zlib[0] & 0x0F) != 8) return false;
  BitReader in(zlib.substr(2));
  for (;;) {
    uint32_t last = 0;
    uint32_t type = 0;
    if (!in.Bits(1, &last) || !in.Bits(2, &type)) return false;
    if (type == 0) {
      // Stored block
      in.AlignToByte();
      std::array<uint8_t, 4> head{};
      for (uint8_t& b : head) {
        if (!in.Byte(&b)) return false;
      }
      const unsigned length = head[0] | (head[1] << 8u);
      for (unsigned i = 0; i < length; ++i) {
        uint8_t b = 0;
        if (!in.Byte(&b)) return false;
        out->push_back(b);
      }
    } else if (type == 1) {
      // Fixed codes
      std::vector<uint8_t> lengths(288, 8);
      for (std::size_t i = 144; i < 256; ++i) lengths[i] = 9;
      for (std::size_t i = 256; i < 280; ++i) lengths[i] = 7;
      Huffman lit;
      Huffman dist;
      lit.Build(lengths);
      dist.Build(std::vector<uint8_t>(30, 5));
      if (!InflateBlock(&in, lit, dist, out)) return false;
    } else if (type == 2) {
      // Dynamic codes, themselves sent with a code-length code
      uint32_t hlit = 0;
      uint32_t hdist = 0;
      uint32_t hclen = 0;
      if (!in.Bits(5, &hlit) || !in.Bits(5, &hdist) || !in.Bits(4, &hclen)) return false;
      constexpr std::array<uint8_t, 19> kOrder{16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};
      std::vector<uint8_t> code_lengths(19, 0);
      for (uint32_t i = 0; i < hclen + 4; ++i) {
        uint32_t v = 0;
        if (!in.Bits(3, &v)) return false;
        code_lengths[kOrder[i]] = static_cast<uint8_t>(v);
      }
      Huffman lengths_code;
      lengths_code.Build(code_lengths);
      std::vector<uint8_t> lengths;
      const std::size_t total = hlit + 257u + hdist + 1u;
      while (lengths.size() < total) {
        uint16_t symbol = 0;
        if (!lengths_code.Decode(&in, &symbol)) return false;
        if (symbol < 16) {
          lengths.push_back(static_cast<uint8_t>(symbol));
          continue;
        }
        uint32_t repeat = 0;
        uint8_t value = 0;
        if (symbol == 16) {
          if (lengths.empty() || !in.Bits(2, &repeat)) return false;
          value = lengths.back();
          repeat += 3;
        } else if (symbol == 17) {
          if (!in.Bits(3, &repeat)) return false;
          repeat += 3;
        } else {
          if (!in.Bits(7, &repeat)) return false;
          repeat += 11;
        }
        lengths.insert(lengths.end(), repeat, value);
      }
      if (lengths.size() != total) return false;
      Huffman lit;
      Huffman dist;
      lit.Build({lengths.begin(), lengths.begin() + hlit + 257});
      dist.Build({lengths.begin() + hlit + 257, lengths.end()});
      if (!InflateBlock(&in, lit, dist, out)) return false;
    } else {
      return false;
    }
    if (last) return true;
  }
}

bool DecodePng(std::string_view bytes, Image* image, std::string* error) {
  constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
  if (bytes.substr(0, 8) != kSignature) {
    *error = "not a PNG file";
    return false;
  }
  // Chunks: the header, the compressed data, the end
  std::string compressed;
  int depth = 0;
  int colour = -1;
  int interlace = 0;
  std::size_t at = 8;
  while (at + 12 <= bytes.size()) {
    const uint32_t length = BigEndian(bytes, at);
    const std::string_view type = bytes.substr(at + 4, 4);
    if (at + 12 + length > bytes.size()) break;
    const std::string_view body = bytes.substr(at + 8, length);
    if (type == "IHDR" && length >= 13) {
      image->width = static_cast<int32_t>(BigEndian(body, 0));
      image->height = static_cast<int32_t>(BigEndian(body, 4));
      depth = static_cast<unsigned char>(body[8]);
      colour = static_cast<unsigned char>(body[9]);
      interlace = static_cast<unsigned char>(body[12]);
    } else if (type == "IDAT") {
      compressed.append(body);
    } else if (type == "IEND") {
      break;
    }
    at += 12 + length;
  }
  int channels = 0;
  switch (colour) {
    case 0:
      channels = 1;
      break;
    case 2:
      channels = 3;
      break;
    case 4:
      channels = 2;
      break;
    case 6:
      channels = 4;
      break;
    default:
      break;
  }
  if (depth != 8 || channels == 0 || interlace != 0 || image->width <= 0 || image->height <= 0 ||
      image->width > 20000 || image->height > 20000) {
    *error = "unsupported PNG (depth " + std::to_string(depth) + ", colour type " +
             std::to_string(colour) + ", interlace " + std::to_string(interlace) + ")";
    return false;
  }
  std::vector<uint8_t> raw;
  if (!Inflate(compressed, &raw)) {
    *error = "damaged compressed data";
    return false;
  }
  const auto w = static_cast<std::size_t>(image->width);
  const auto h = static_cast<std::size_t>(image->height);
  const auto bpp = static_cast<std::size_t>(channels);
  const std::size_t stride = w * bpp;
  if (raw.size() < h * (stride + 1)) {
    *error = "too little image data";
    return false;
  }
  // Undo the row filters
  std::vector<uint8_t> prior(stride, 0);
  std::vector<uint8_t> row(stride, 0);
  image->pixels.clear();
  for (std::size_t y = 0; y < h; ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    const uint8_t* in = &raw[y * (stride + 1) + 1];
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= bpp ? row[i - bpp] : 0;
      const int b = prior[i];
      const int c = i >= bpp ? prior[i - bpp] : 0;
      int predictor = 0;
      switch (filter) {
        case 0:
          predictor = 0;
          break;
        case 1:
          predictor = a;
          break;
        case 2:
          predictor = b;
          break;
        case 3:
          predictor = (a + b) / 2;
          break;
        case 4:
          predictor = Paeth(a, b, c);
          break;
        default:
          *error = "unknown row filter " + std::to_string(filter);
          return false;
      }
      row[i] = static_cast<uint8_t>((in[i] + predictor) & 0xFF);
    }
    for (std::size_t x = 0; x < w; ++x) {
      const uint8_t* p = &row[x * bpp];
      switch (channels) {
        case 1:
          image->pixels.push_back({p[0], p[0], p[0], 255});
          break;
        case 2:
          image->pixels.push_back({p[0], p[0], p[0], p[1]});
          break;
        case 3:
          image->pixels.push_back({p[0], p[1], p[2], 255});
          break;
        default:
          image->pixels.push_back({p[0], p[1], p[2], p[3]});
          break;
      }
    }
    prior.swap(row);
  }
  return true;
}

}  // namespace tortool::testing
