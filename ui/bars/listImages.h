#pragma once
// The small images of the program's lists and tabs: strips of 16-pixel
// square images, drawn once per run and kept.
//   kControlCenterTabImages (147): 0 My Channels, 1 Plugins
//   kItemViewImages (253):         0 viewed item, 1 new item, 2 unread item
//   kMyChannelsImages (254):       0 nothing unread, 1 new content,
//                                  n + 1 for n unread items (n = 1..19),
//                                  21 for more than 19
//   kWorkPadTabImages (311):       0 Read me
//   kChannelWindowIcon (274):      0 the icon of a channel window
//
//   item->setIcon(0, listImage(kMyChannelsImages, 21));
#include <QIcon>
#include <QPixmap>

constexpr int kControlCenterTabImages = 147;
constexpr int kItemViewImages = 253;
constexpr int kMyChannelsImages = 254;
constexpr int kWorkPadTabImages = 311;
constexpr int kChannelWindowIcon = 274;
constexpr int kListImageSize = 16;

// The whole strip of an image list (a null pixmap for an unknown one).
const QPixmap& listImageStrip(int listId);
// How many images the strip holds.
int listImageCount(int listId);
// One image of a strip; a null icon for an index outside it.
QIcon listImage(int listId, int index);
