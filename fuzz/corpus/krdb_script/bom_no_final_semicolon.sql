  -- コメント

SELECT IIf(IsNull(Price1), 'なし', CStr(Price1)) FROM Cri
  ; 
SELECT #2020/04/07 15:30# + 1, DateAdd('m', 1, Date()), Mid('ケルモラ', 2, 2), InStr(1, 'abc', 'B')
