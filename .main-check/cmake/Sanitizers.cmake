# ORVELLA_SANITIZE: "" (none), "address" (ASan + UBSan) or "thread" (TSan).
set(ORVELLA_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(ORVELLA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ORVELLA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
