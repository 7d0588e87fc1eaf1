// A library whose one function answers the number it was built with.
extern "C" __attribute__((visibility("default"))) int Answer() { return QBK_ANSWER; }
