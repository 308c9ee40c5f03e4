{ sqlite3 through the converted unit, as a user writes it: an in-memory database, a table,
  prepared inserts with bound values, a select and an error message. Prints "sqlite3 ok". }
program sqlite3_demo;
{$mode delphi}
uses ctypes, SysUtils, sqlite3_h;

procedure Fail(const what: string);
begin
  WriteLn('sqlite3 FAILED: ', what);
  Halt(1);
end;

var
  db: p_sqlite3;
  stmt: p_sqlite3_stmt;
  errmsg: PChar;
  unused: Pointer;
  i, rows: Integer;
  sum: Int64;
begin
  // The unit passes handles by reference (var db: sqlite3): a handle is handed on as db^.
  if sqlite3_open(':memory:', db) <> SQLITE_OK then Fail('open');
  if sqlite3_exec(db^, 'create table t(id integer primary key, name text, n integer)', nil,
    unused, errmsg) <> SQLITE_OK then Fail('create');
  if sqlite3_prepare_v2(db^, 'insert into t(name, n) values (?, ?)', -1, stmt, nil) <> SQLITE_OK
  then Fail('prepare insert');
  for i := 1 to 100 do
  begin
    sqlite3_bind_text(stmt^, 1, PChar('row' + IntToStr(i)), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt^, 2, i * i);
    if sqlite3_step(stmt^) <> SQLITE_DONE then Fail('insert');
    sqlite3_reset(stmt^);
  end;
  sqlite3_finalize(stmt^);
  if sqlite3_prepare_v2(db^, 'select name, n from t where n > ? order by id', -1, stmt, nil)
    <> SQLITE_OK then Fail('prepare select');
  sqlite3_bind_int(stmt^, 1, 2500);
  rows := 0;
  sum := 0;
  while sqlite3_step(stmt^) = SQLITE_ROW do
  begin
    Inc(rows);
    Inc(sum, sqlite3_column_int64(stmt^, 1));
    if rows = 1 then WriteLn('first row: ', PChar(sqlite3_column_text(stmt^, 0)));
  end;
  sqlite3_finalize(stmt^);
  if (rows <> 50) or (sum <> 295425) then Fail('select');
  errmsg := nil;
  if sqlite3_exec(db^, 'select * from missing', nil, unused, errmsg) = SQLITE_OK then
    Fail('no error for a missing table');
  WriteLn('error message: ', errmsg);
  sqlite3_free(errmsg^);  // by reference: the memory errmsg points to
  WriteLn('last error: ', sqlite3_errmsg(db^));
  sqlite3_close(db^);
  WriteLn('sqlite3 ok');
end.
