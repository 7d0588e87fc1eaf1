# Writes a 786,432-byte stand-in firmware image to OUT: a repeated
# 64-byte pattern.
set(block "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF")
set(text "${block}")
# 64 * 2^14 = 1 MiB is too much; 64 * 12288 = 786,432.
foreach(i RANGE 1 7)
  string(APPEND text "${text}")
endforeach()
# text is now 64 * 128 = 8192 bytes; 96 of them make the image.
set(image "")
foreach(i RANGE 1 96)
  string(APPEND image "${text}")
endforeach()
file(WRITE "${OUT}" "${image}")
