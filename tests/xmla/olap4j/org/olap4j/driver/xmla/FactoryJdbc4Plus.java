package org.olap4j.driver.xmla;

import java.io.InputStream;
import java.io.Reader;
import java.sql.Array;
import java.sql.Blob;
import java.sql.Clob;
import java.sql.NClob;
import java.sql.ResultSet;
import java.sql.RowId;
import java.sql.RowIdLifetime;
import java.sql.SQLClientInfoException;
import java.sql.SQLException;
import java.sql.SQLFeatureNotSupportedException;
import java.sql.SQLXML;
import java.sql.Struct;
import java.util.List;
import java.util.Properties;

import org.olap4j.OlapException;
import org.olap4j.driver.xmla.proxy.XmlaOlap4jProxy;

/**
 * Our stand-in for the class that Debian's olap4j XMLA driver leaves out of
 * its jar: the bases of the driver's JDBC 4.1 classes. They supply the JDBC
 * 4.0 methods that the driver's own base classes lack. The driver is read
 * only, so whatever writes, or builds large objects, is refused.
 */
abstract class FactoryJdbc4Plus implements Factory {

  private static SQLException refused(String what) {
    return new SQLFeatureNotSupportedException(what + " is not supported by a read-only OLAP connection");
  }

  /** The JDBC 4.0 result set methods, for the empty result sets and the cell sets alike. */
  interface ReadOnlyResultSet extends ResultSet {
    default int getHoldability() { return ResultSet.CLOSE_CURSORS_AT_COMMIT; }
    default String getNString(int column) throws SQLException { return getString(column); }
    default String getNString(String column) throws SQLException { return getString(column); }
    default Reader getNCharacterStream(int column) throws SQLException { return getCharacterStream(column); }
    default Reader getNCharacterStream(String column) throws SQLException { return getCharacterStream(column); }
    default NClob getNClob(int column) throws SQLException { throw refused("NClob"); }
    default NClob getNClob(String column) throws SQLException { throw refused("NClob"); }
    default RowId getRowId(int column) throws SQLException { throw refused("RowId"); }
    default RowId getRowId(String column) throws SQLException { throw refused("RowId"); }
    default SQLXML getSQLXML(int column) throws SQLException { throw refused("SQLXML"); }
    default SQLXML getSQLXML(String column) throws SQLException { throw refused("SQLXML"); }
    default void updateAsciiStream(int c, InputStream x) throws SQLException { throw refused("update"); }
    default void updateAsciiStream(int c, InputStream x, long n) throws SQLException { throw refused("update"); }
    default void updateAsciiStream(String c, InputStream x) throws SQLException { throw refused("update"); }
    default void updateAsciiStream(String c, InputStream x, long n) throws SQLException { throw refused("update"); }
    default void updateBinaryStream(int c, InputStream x) throws SQLException { throw refused("update"); }
    default void updateBinaryStream(int c, InputStream x, long n) throws SQLException { throw refused("update"); }
    default void updateBinaryStream(String c, InputStream x) throws SQLException { throw refused("update"); }
    default void updateBinaryStream(String c, InputStream x, long n) throws SQLException { throw refused("update"); }
    default void updateBlob(int c, InputStream x) throws SQLException { throw refused("update"); }
    default void updateBlob(int c, InputStream x, long n) throws SQLException { throw refused("update"); }
    default void updateBlob(String c, InputStream x) throws SQLException { throw refused("update"); }
    default void updateBlob(String c, InputStream x, long n) throws SQLException { throw refused("update"); }
    default void updateCharacterStream(int c, Reader x) throws SQLException { throw refused("update"); }
    default void updateCharacterStream(int c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateCharacterStream(String c, Reader x) throws SQLException { throw refused("update"); }
    default void updateCharacterStream(String c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateClob(int c, Reader x) throws SQLException { throw refused("update"); }
    default void updateClob(int c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateClob(String c, Reader x) throws SQLException { throw refused("update"); }
    default void updateClob(String c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateNCharacterStream(int c, Reader x) throws SQLException { throw refused("update"); }
    default void updateNCharacterStream(int c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateNCharacterStream(String c, Reader x) throws SQLException { throw refused("update"); }
    default void updateNCharacterStream(String c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateNClob(int c, Reader x) throws SQLException { throw refused("update"); }
    default void updateNClob(int c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateNClob(int c, NClob x) throws SQLException { throw refused("update"); }
    default void updateNClob(String c, Reader x) throws SQLException { throw refused("update"); }
    default void updateNClob(String c, Reader x, long n) throws SQLException { throw refused("update"); }
    default void updateNClob(String c, NClob x) throws SQLException { throw refused("update"); }
    default void updateNString(int c, String x) throws SQLException { throw refused("update"); }
    default void updateNString(String c, String x) throws SQLException { throw refused("update"); }
    default void updateRowId(int c, RowId x) throws SQLException { throw refused("update"); }
    default void updateRowId(String c, RowId x) throws SQLException { throw refused("update"); }
    default void updateSQLXML(int c, SQLXML x) throws SQLException { throw refused("update"); }
    default void updateSQLXML(String c, SQLXML x) throws SQLException { throw refused("update"); }
  }

  abstract static class AbstractEmptyResultSet extends EmptyResultSet implements ReadOnlyResultSet {
    AbstractEmptyResultSet(XmlaOlap4jConnection connection, List<String> headerList, List<List<Object>> rowList) {
      super(connection, headerList, rowList);
    }

    public boolean isClosed() { return false; }
  }

  abstract static class AbstractCellSet extends XmlaOlap4jCellSet implements ReadOnlyResultSet {
    AbstractCellSet(XmlaOlap4jStatement statement) { super(statement); }

    public boolean isClosed() { return closed; }
  }

  abstract static class AbstractConnection extends XmlaOlap4jConnection {
    AbstractConnection(Factory factory, XmlaOlap4jDriver driver, XmlaOlap4jProxy proxy, String url,
                       Properties info) throws SQLException {
      super(factory, driver, proxy, url, info);
    }

    public Clob createClob() throws SQLException { throw refused("Clob"); }
    public Blob createBlob() throws SQLException { throw refused("Blob"); }
    public NClob createNClob() throws SQLException { throw refused("NClob"); }
    public SQLXML createSQLXML() throws SQLException { throw refused("SQLXML"); }
    public Array createArrayOf(String type, Object[] elements) throws SQLException { throw refused("Array"); }
    public Struct createStruct(String type, Object[] attributes) throws SQLException { throw refused("Struct"); }
    public boolean isValid(int timeout) throws SQLException { return !isClosed(); }
    public void setClientInfo(String name, String value) throws SQLClientInfoException {
      throw new SQLClientInfoException();
    }
    public void setClientInfo(Properties properties) throws SQLClientInfoException {
      throw new SQLClientInfoException();
    }
    public String getClientInfo(String name) { return null; }
    public Properties getClientInfo() { return new Properties(); }
  }

  abstract static class AbstractDatabaseMetaData extends XmlaOlap4jDatabaseMetaData {
    AbstractDatabaseMetaData(XmlaOlap4jConnection connection) { super(connection); }

    public RowIdLifetime getRowIdLifetime() { return RowIdLifetime.ROWID_UNSUPPORTED; }
    public ResultSet getSchemas(String catalog, String schemaPattern) throws SQLException { throw refused("getSchemas"); }
    public boolean supportsStoredFunctionsUsingCallSyntax() { return false; }
    public boolean autoCommitFailureClosesAllResultSets() { return false; }
    public ResultSet getClientInfoProperties() throws SQLException { throw refused("client info"); }
    public ResultSet getFunctions(String catalog, String schemaPattern, String functionNamePattern)
        throws SQLException {
      throw refused("getFunctions");
    }
    public ResultSet getFunctionColumns(String catalog, String schemaPattern, String functionNamePattern,
                                        String columnNamePattern) throws SQLException {
      throw refused("getFunctionColumns");
    }
  }

  abstract static class AbstractPreparedStatement extends XmlaOlap4jPreparedStatement {
    AbstractPreparedStatement(XmlaOlap4jConnection connection, String mdx) throws OlapException {
      super(connection, mdx);
    }

    public void setRowId(int index, RowId x) throws SQLException { throw refused("RowId"); }
    public void setNString(int index, String value) throws SQLException { setString(index, value); }
    public void setNCharacterStream(int index, Reader value, long length) throws SQLException { throw refused("streams"); }
    public void setNCharacterStream(int index, Reader value) throws SQLException { throw refused("streams"); }
    public void setNClob(int index, NClob value) throws SQLException { throw refused("NClob"); }
    public void setNClob(int index, Reader reader, long length) throws SQLException { throw refused("NClob"); }
    public void setNClob(int index, Reader reader) throws SQLException { throw refused("NClob"); }
    public void setClob(int index, Reader reader, long length) throws SQLException { throw refused("Clob"); }
    public void setClob(int index, Reader reader) throws SQLException { throw refused("Clob"); }
    public void setBlob(int index, InputStream stream, long length) throws SQLException { throw refused("Blob"); }
    public void setBlob(int index, InputStream stream) throws SQLException { throw refused("Blob"); }
    public void setSQLXML(int index, SQLXML xml) throws SQLException { throw refused("SQLXML"); }
    public void setAsciiStream(int index, InputStream x, long length) throws SQLException { throw refused("streams"); }
    public void setAsciiStream(int index, InputStream x) throws SQLException { throw refused("streams"); }
    public void setBinaryStream(int index, InputStream x, long length) throws SQLException { throw refused("streams"); }
    public void setBinaryStream(int index, InputStream x) throws SQLException { throw refused("streams"); }
    public void setCharacterStream(int index, Reader reader, long length) throws SQLException { throw refused("streams"); }
    public void setCharacterStream(int index, Reader reader) throws SQLException { throw refused("streams"); }
  }
}
