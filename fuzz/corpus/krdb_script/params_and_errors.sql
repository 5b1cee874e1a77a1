SELECT Missing FROM Cri;
SELECT [Price1] / 0, 1e308 * 10, CLng('&HFFFF'), Val(' 12.5x') FROM Cri;
UPDATE Cri SET Price1 = 'abc';
