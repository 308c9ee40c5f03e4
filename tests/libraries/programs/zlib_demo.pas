{ zlib through the converted unit, as a user writes it: compress and uncompress, then deflate
  and inflate streams over 200,000 bytes, checked with crc32. Prints "zlib ok" on success. }
program zlib_demo;
{$mode delphi}
uses ctypes, zlib;

procedure Fail(const what: string);
begin
  WriteLn('zlib FAILED: ', what);
  Halt(1);
end;

const
  Size = 200000;
var
  src, packed_, back: array of Byte;
  i: Integer;
  packedLen, backLen: culong;
  strm: z_stream;
  crcIn, crcOut: culong;
begin
  SetLength(src, Size);
  for i := 0 to Size - 1 do src[i] := Byte((i * 7 + i div 1000) mod 251);
  crcIn := crc32(0, @src[0], Size);
  packedLen := compressBound(Size);
  SetLength(packed_, packedLen);
  if compress(packed_[0], packedLen, @src[0], Size) <> Z_OK then Fail('compress');
  SetLength(back, Size);
  backLen := Size;
  if uncompress(back[0], backLen, @packed_[0], packedLen) <> Z_OK then Fail('uncompress');
  if (backLen <> Size) or (crc32(0, @back[0], backLen) <> crcIn) then Fail('uncompress data');

  FillChar(strm, SizeOf(strm), 0);
  if deflateInit_(@strm, Z_BEST_COMPRESSION, ZLIB_VERSION, SizeOf(strm)) <> Z_OK then
    Fail('deflateInit');
  strm.next_in := @src[0];
  strm.avail_in := Size;
  strm.next_out := @packed_[0];
  strm.avail_out := Length(packed_);
  if deflate(@strm, Z_FINISH) <> Z_STREAM_END then Fail('deflate');
  packedLen := strm.total_out;
  deflateEnd(@strm);

  FillChar(strm, SizeOf(strm), 0);
  if inflateInit_(@strm, ZLIB_VERSION, SizeOf(strm)) <> Z_OK then Fail('inflateInit');
  FillChar(back[0], Size, 0);
  strm.next_in := @packed_[0];
  strm.avail_in := packedLen;
  strm.next_out := @back[0];
  strm.avail_out := Size;
  if inflate(@strm, Z_FINISH) <> Z_STREAM_END then Fail('inflate');
  inflateEnd(@strm);
  crcOut := crc32(0, @back[0], strm.total_out);
  if (strm.total_out <> Size) or (crcOut <> crcIn) then Fail('inflate data');
  WriteLn('zlib ok: ', Size, ' bytes, ', packedLen, ' packed, crc32 ', crcIn);
end.
