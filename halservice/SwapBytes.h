// In-place byte reversal for the scanner's big-endian fields. Each call
// serves both ways: host order to wire order and back.
#pragma once

void SwapBytes16(void* bytes);
void SwapBytes32(void* bytes);
