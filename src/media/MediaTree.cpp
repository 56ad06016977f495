#include "media/MediaTree.h"

#include <utility>

namespace kalvorin::media {

MediaNode* MediaTree::Add(MediaNode* parent, std::unique_ptr<listeSupport> record) {
  auto node = std::make_unique<MediaNode>();
  node->record = std::move(record);
  node->parent = parent;
  auto& siblings = parent ? parent->children : top_;
  siblings.push_back(std::move(node));
  return siblings.back().get();
}

void MediaTree::Clear() { top_.clear(); }

void MediaTree::ExpandAll(MediaNode* node) {
  if (!node) return;
  node->expanded = true;
  for (auto& child : node->children) ExpandAll(child.get());
}

namespace {
void Walk(const std::vector<std::unique_ptr<MediaNode>>& nodes,
          const std::function<void(MediaNode&)>& visit) {
  for (const auto& node : nodes) {
    visit(*node);
    Walk(node->children, visit);
  }
}
}  // namespace

void MediaTree::ForEach(const std::function<void(MediaNode&)>& visit) const { Walk(top_, visit); }

int MediaTree::RowOf(const MediaNode* node) const {
  if (!node) return -1;
  const auto& siblings = node->parent ? node->parent->children : top_;
  for (std::size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() == node) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kalvorin::media
