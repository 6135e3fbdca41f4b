# Writes SHA256SUMS for the files named in FILES (a ;-list), in the format
# `sha256sum -c` reads: cmake -DFILES=a.exe;b.exe -DOUT=SHA256SUMS -P sha256sums.cmake
set(sums "")
foreach(file IN LISTS FILES)
  file(SHA256 ${file} hash)
  get_filename_component(name ${file} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${OUT} "${sums}")
