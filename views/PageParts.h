#pragma once
// Pieces the pages share.

class QLabel;

// The bold label that shows a page's folder path: plain text, and narrow enough to be cut
// rather than widen the page.
QLabel* NewPathLabel();
