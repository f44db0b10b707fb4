#include "support/synthetic/squeeze_encoder.h"

#include <algorithm>
#include <array>
#include <memory>
#include <queue>
#include <stdexcept>

namespace {

void put_le16(std::vector<u8>& out, u32 v) {
  out.push_back(static_cast<u8>(v));
  out.push_back(static_cast<u8>(v >> 8));
}

struct tree_node {
  u64 weight;
  int order; // creation order: ties are broken by it, so the tree is stable
  int symbol = -1;
  std::unique_ptr<tree_node> zero, one;
};

struct heavier {
  bool operator()(const tree_node* a, const tree_node* b) const {
    return a->weight != b->weight ? a->weight > b->weight : a->order > b->order;
  }
};

} // namespace

std::vector<u8> squeeze_file(i16 node_count, const std::vector<squeeze_node>& nodes, std::span<const u8> stream) {
  std::vector<u8> out(squeeze_header_size, 0);
  put_le16(out, static_cast<u16>(node_count));
  for (const squeeze_node& n : nodes) {
    put_le16(out, n.zero);
    put_le16(out, n.one);
  }
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

void squeeze_bit_writer::put(bool bit) {
  if (used_ == 8) {
    bytes_.push_back(0);
    used_ = 0;
  }
  if (bit) bytes_.back() = static_cast<u8>(bytes_.back() | 1u << used_);
  ++used_;
}

void squeeze_bit_writer::put(const std::vector<bool>& bits) {
  for (bool b : bits) put(b);
}

std::vector<int> squeeze_symbols(std::span<const u8> data) {
  std::vector<int> out;
  size_t i = 0;
  while (i < data.size()) {
    const u8 b = data[i];
    if (b == squeeze_run_marker) {
      out.push_back(squeeze_run_marker);
      out.push_back(0);
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < data.size() && run < 255 && data[i + run] == b) ++run;
    out.push_back(b);
    if (run >= 3) {
      out.push_back(squeeze_run_marker);
      out.push_back(static_cast<int>(run));
    } else {
      run = 1;
    }
    i += run;
  }
  return out;
}

namespace {

std::array<u64, 257> symbol_weights(const std::vector<int>& symbols) {
  std::array<u64, 257> weight{};
  for (int s : symbols) {
    if (s < 0 || s > 255) throw std::invalid_argument("symbols are bytes");
    ++weight[s];
  }
  weight[squeeze_end_symbol] = 1;
  return weight;
}

// Huffman tree over the symbols that occur.
std::unique_ptr<tree_node> huffman_tree(const std::array<u64, 257>& weight) {
  std::vector<std::unique_ptr<tree_node>> owned;
  std::priority_queue<tree_node*, std::vector<tree_node*>, heavier> queue;
  int order = 0;
  for (int s = 0; s <= squeeze_end_symbol; ++s) {
    if (!weight[s]) continue;
    auto n = std::make_unique<tree_node>();
    n->weight = weight[s];
    n->order = order++;
    n->symbol = s;
    queue.push(n.get());
    owned.push_back(std::move(n));
  }
  while (queue.size() > 1) {
    tree_node* a = queue.top();
    queue.pop();
    tree_node* b = queue.top();
    queue.pop();
    auto p = std::make_unique<tree_node>();
    p->weight = a->weight + b->weight;
    p->order = order++;
    for (auto& o : owned) {
      if (o.get() == a) p->zero = std::move(o);
      else if (o.get() == b) p->one = std::move(o);
    }
    queue.push(p.get());
    owned.push_back(std::move(p));
  }
  for (auto& o : owned)
    if (o.get() == queue.top()) return std::move(o);
  return nullptr;
}

// The file of the symbols coded by the tree. A missing child (a tree made
// from code lengths need not be full) points at the end symbol's leaf; no
// code leads there.
std::vector<u8> tree_file(const tree_node* root, const std::vector<int>& symbols) {
  // Number the inner nodes breadth first, so the root is node 0, and note
  // every symbol's code.
  std::array<std::vector<bool>, 257> code;
  std::vector<squeeze_node> nodes;
  if (root->symbol >= 0) {
    // Only the end symbol: no nodes; the preset node 0 ends at the first bit.
    code[squeeze_end_symbol] = {false};
  } else {
    struct pending {
      const tree_node* node;
      std::vector<bool> path;
    };
    std::queue<pending> walk;
    walk.push({root, {}});
    while (!walk.empty()) {
      pending p = std::move(walk.front());
      walk.pop();
      squeeze_node stored{};
      for (int bit = 0; bit < 2; ++bit) {
        const tree_node* child = bit ? p.node->one.get() : p.node->zero.get();
        std::vector<bool> path = p.path;
        path.push_back(bit != 0);
        u16 value;
        if (child == nullptr) {
          value = squeeze_leaf(squeeze_end_symbol);
        } else if (child->symbol >= 0) {
          value = squeeze_leaf(child->symbol);
          code[child->symbol] = path;
        } else {
          value = static_cast<u16>(nodes.size() + walk.size() + 1);
          walk.push({child, path});
        }
        (bit ? stored.one : stored.zero) = value;
      }
      nodes.push_back(stored);
    }
  }

  squeeze_bit_writer bits;
  for (int s : symbols) bits.put(code[s]);
  bits.put(code[squeeze_end_symbol]);
  return squeeze_file(static_cast<i16>(nodes.size()), nodes, bits.bytes());
}

void code_lengths(const tree_node* n, int depth, std::array<int, 257>& length) {
  if (n == nullptr) return;
  if (n->symbol >= 0) {
    length[n->symbol] = depth;
    return;
  }
  code_lengths(n->zero.get(), depth + 1, length);
  code_lengths(n->one.get(), depth + 1, length);
}

// A canonical prefix tree for the given code lengths (0: the symbol has no
// code).
std::unique_ptr<tree_node> canonical_tree(const std::array<int, 257>& length) {
  auto root = std::make_unique<tree_node>();
  u64 code = 0;
  int previous = 0;
  for (int bits = 1; bits <= 63; ++bits)
    for (int s = 0; s <= squeeze_end_symbol; ++s) {
      if (length[s] != bits) continue;
      code <<= bits - previous;
      previous = bits;
      tree_node* n = root.get();
      for (int b = bits - 1; b >= 0; --b) {
        std::unique_ptr<tree_node>& child = code >> b & 1 ? n->one : n->zero;
        if (!child) child = std::make_unique<tree_node>();
        n = child.get();
      }
      n->symbol = s;
      ++code;
    }
  return root;
}

} // namespace

std::vector<u8> squeeze_symbol_file(const std::vector<int>& symbols) {
  const std::unique_ptr<tree_node> root = huffman_tree(symbol_weights(symbols));
  return tree_file(root.get(), symbols);
}

std::vector<u8> squeeze_evenly(std::span<const u8> data, int min_bits) {
  std::vector<int> symbols;
  for (u8 b : data) {
    symbols.push_back(b);
    if (b == squeeze_run_marker) symbols.push_back(0);
  }
  const std::array<u64, 257> weight = symbol_weights(symbols);
  const std::unique_ptr<tree_node> huffman = huffman_tree(weight);
  std::array<int, 257> length{};
  code_lengths(huffman.get(), 0, length);
  for (int& l : length)
    if (l > 0 && l < min_bits) l = min_bits;
  // The codes made longer leave room in the tree: the most frequent of the
  // longer codes take it back, a bit at a time, while the lengths still
  // make a prefix code (their Kraft sum, in units of 2^-63, stays at most 1).
  auto share = [](int l) { return u64{1} << (63 - l); };
  u64 kraft = 0;
  for (int l : length)
    if (l > 0) kraft += share(l);
  std::array<int, 257> by_weight;
  for (int s = 0; s <= squeeze_end_symbol; ++s) by_weight[s] = s;
  std::stable_sort(by_weight.begin(), by_weight.end(), [&](int a, int b) { return weight[a] > weight[b]; });
  for (bool shorter = true; shorter;) {
    shorter = false;
    for (int s : by_weight)
      if (length[s] > min_bits && kraft + share(length[s]) <= share(0)) {
        kraft += share(length[s]);
        --length[s];
        shorter = true;
      }
  }
  const std::unique_ptr<tree_node> root = canonical_tree(length);
  return tree_file(root.get(), symbols);
}

std::vector<u8> squeeze(std::span<const u8> data) { return squeeze_symbol_file(squeeze_symbols(data)); }
