// The two preview pages are built in thumbnail_page.cpp and
// enlarged_page.cpp; this source beside their header lets the build's
// meta-object compiler find the header.
#include "app/mainwindow/preview_pages.h"
