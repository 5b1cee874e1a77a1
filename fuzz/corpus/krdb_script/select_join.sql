-- 単価と地区名
SELECT c.Code, c.Name & '(' & c.Unit & ')' AS 表示, Nz(c.Price1, 0) * 1.1 AS 税込
FROM Cri AS c, 地区名 AS d
WHERE d.ID = 1 AND c.Name LIKE '*コン*'
ORDER BY c.Code DESC;
SELECT Count(*) AS 件数, Max(Changed), Sum(Price2) FROM Cri GROUP BY Kept HAVING Count(*) > 0;
