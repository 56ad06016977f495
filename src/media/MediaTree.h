// The media tree: nodes that own their records. The Qt model only
// translates it; nothing here knows of a widget.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "media/Records.h"

namespace kalvorin::media {

struct MediaNode {
  std::unique_ptr<listeSupport> record;
  MediaNode* parent = nullptr;  // nullptr: top level
  std::vector<std::unique_ptr<MediaNode>> children;
  bool expanded = false;
};

class MediaTree {
 public:
  // Adds a node carrying `record` as the last child of `parent` (nullptr:
  // the top level) and returns it. The tree owns the record from now on.
  MediaNode* Add(MediaNode* parent, std::unique_ptr<listeSupport> record);
  // Removes every node; their records are destroyed.
  void Clear();
  // Marks `node` and every node below it expanded.
  static void ExpandAll(MediaNode* node);

  const std::vector<std::unique_ptr<MediaNode>>& TopLevel() const { return top_; }
  // Every node in display order, each before its children.
  void ForEach(const std::function<void(MediaNode&)>& visit) const;
  // Row of `node` among its siblings; -1 when it is not in this tree.
  int RowOf(const MediaNode* node) const;

 private:
  std::vector<std::unique_ptr<MediaNode>> top_;
};

}  // namespace kalvorin::media
