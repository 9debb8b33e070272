-- Demonstration data for a Coulter ACT 8 named ACT1, on top of the demonstration data of
-- "quorlix --init-db --demo-data"; for example
--   sqlite3 lab.db < sql/demo-act.sql
-- Plain INSERT statements only, so the same file loads into SQLite, PostgreSQL and SQL Server.

-- Blood count tests by the short names the analyzer sends, and three samples waiting for it (they
-- belong to the placeholder patient 1).
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (13, 'WBC', 'Leukocytes', 'IMP', 0.1, 99.9);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (14, 'RBC', 'Erythrocytes', 'IMP', 0.2, 7.5);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (15, 'HGB', 'Haemoglobin', 'PHO', 1, 25);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (16, 'HCT', 'Haematocrit', 'CAL', 1, 80);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (17, 'PLT', 'Platelets', 'IMP', 5, 999);
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (13, 'ACT1', 13, 'WBC');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (14, 'ACT1', 14, 'RBC');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (15, 'ACT1', 15, 'HGB');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (16, 'ACT1', 16, 'HCT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (17, 'ACT1', 17, 'PLT');
INSERT INTO sample_base (sample_id, p_id, si_id, cust_id) VALUES ('20500101', 1, 'NA', '101');
INSERT INTO sample_base (sample_id, p_id, si_id, cust_id) VALUES ('20500102', 1, 'NA', '101');
INSERT INTO sample_base (sample_id, p_id, si_id, cust_id) VALUES ('20500103', 1, 'NA', '102');
INSERT INTO request (sample_id, parameter_id) VALUES ('20500101', 13);
INSERT INTO request (sample_id, parameter_id) VALUES ('20500101', 15);
INSERT INTO request (sample_id, parameter_id) VALUES ('20500101', 17);
INSERT INTO request (sample_id, parameter_id) VALUES ('20500102', 13);
INSERT INTO request (sample_id, parameter_id) VALUES ('20500102', 14);
INSERT INTO request (sample_id, parameter_id) VALUES ('20500102', 15);
INSERT INTO request (sample_id, parameter_id) VALUES ('20500102', 16);
INSERT INTO request (sample_id, parameter_id) VALUES ('20500103', 17);
