#ifndef VESPODAR_BASE_PRODUCT_IDENTITY_H_
#define VESPODAR_BASE_PRODUCT_IDENTITY_H_

// Who the setup updates. The installed product fixed these names long ago:
// the setup finds it, tells it to quit and brings it to the front by them, so
// each is spelt exactly as the product spells it. The end-to-end suite keeps
// its own copies (tests/e2e), as an outside observer would.

// The product's name in each language. Macros, so that the catalog texts that
// name the product are joined by the compiler rather than at run time.
#define VESPODAR_PRODUCT_NAME "Vespodar"
#define VESPODAR_PRODUCT_NAME_RU "Весподар"

namespace vespodar {

// Also the name of its Uninstall entry (...\CurrentVersion\Uninstall\Vespodar)
// and of its executable (Vespodar.exe).
inline constexpr char kProductName[] = VESPODAR_PRODUCT_NAME;

// What the setup calls itself: the caption of its boxes (the install
// question has one of its own) and a part of its questions.
inline constexpr char kProductCaptionEn[] = VESPODAR_PRODUCT_NAME " update";
inline constexpr char kProductCaptionRu[] = "Обновление программы \"" VESPODAR_PRODUCT_NAME_RU "\"";

// The class of its main window: the one told to quit and brought to the front.
inline constexpr char kMainWindowClass[] = "TVDMainForm";

// The named file mapping it holds while it runs, to keep a second copy from
// starting; the setup reads "running" from it.
inline constexpr wchar_t kInstanceMarkerName[] = L"vespodar_memfile";

}  // namespace vespodar

#endif  // VESPODAR_BASE_PRODUCT_IDENTITY_H_
